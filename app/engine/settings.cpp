#include "settings.h"

#include <cstdint>

#include "install_ini.h"
#include "private_profile.h"

namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

[[noreturn]] void Fail(const std::string& text) {
  throw EConvertError("'" + text + "' is not a valid integer value");
}

}  // namespace

std::int32_t StrToInt(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  int base = 10;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  } else if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == text.size()) Fail(text);
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i], base);
    if (d < 0) Fail(text);
    value = value * base + d;
    if (value > std::int64_t(INT32_MAX) + 1) Fail(text);
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) Fail(text);
  return std::int32_t(value);
}

void ReadSettings(const std::string& exeDir, TSettings& s) {
  const std::string ini = exeDir + "install.ini";
  auto read = [&](const char* key, const char* fallback) {
    return GetPrivateProfileString(install_ini::kSection, key, fallback, ini);
  };
  s.Source = exeDir + read(install_ini::kSource, "");
  s.NfoFile = exeDir + read(install_ini::kNfoFile, "");
  s.MidFile = read(install_ini::kMidFile, "");
  s.DefaultDir = read(install_ini::kDefaultDir, "untitled");
  s.RegFile1 = read(install_ini::kRegFile1, "");
  s.RegFile2 = read(install_ini::kRegFile2, "");
  s.Execute = read(install_ini::kExecute, "");
  const std::string numFiles = read(install_ini::kNumFiles, "10");
  const std::int32_t count = StrToInt(numFiles);
  // The volume bar divides by this count and the volume counter uses it as its
  // upper bound, so a count below 1 cannot work: refuse it at start-up.
  if (count < 1)
    throw EConvertError(std::string(install_ini::kNumFiles) + " is '" + numFiles +
                        "': the number of archive volumes must be 1 or more");
  s.NumFiles = count;
  s.VolumeCounterMax = count;
  s.FileBarOrigin = {60, 150};
  s.VolumeBarOrigin = {60, 250};
}
