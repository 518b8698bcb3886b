// midigen: writes the installer's background tune as a Standard MIDI File.
//
//   midigen [--seed N] [--tempo BPM] OUTPUT.mid
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tune_composer.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: midigen [--seed N] [--tempo BPM] OUTPUT.mid\n");
  return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  midi::TuneOptions options;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long value = 0;
    if (arg == "--seed" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], 0, 0xFFFFFFFFL, value)) return Usage();
      options.seed = static_cast<std::uint32_t>(value);
    } else if (arg == "--tempo" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], 40, 240, value)) return Usage();
      options.tempoBpm = static_cast<int>(value);
    } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
      output = arg;
    } else {
      return Usage();
    }
  }
  if (output.empty()) return Usage();
  try {
    if (!midi::ComposeTune(options).WriteFile(output)) {
      std::fprintf(stderr, "midigen: cannot write %s\n", output.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "midigen: %s\n", e.what());
    return 1;
  }
  return 0;
}
