// aceextract l ARCHIVE        list the entries (name, sizes, method, CRC)
// aceextract t ARCHIVE        decode every entry and check its CRC, write nothing
// aceextract x ARCHIVE DEST   extract the whole set below DEST
// --codepage CP (anywhere) reads names that are not UTF-8 in code page CP
// (437, 850, 852, 866, ...; default 850).
//
// Built on the four library calls, as the installer is. Failures print the
// installer's own report texts (a carriage return shown as a line break) and end
// with a non-zero exit status.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "ace_messages.h"
#include "unace.h"

namespace {

struct Run {
  bool missingVolume = false;
};

void PrintReport(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  std::fprintf(stderr, "%s\n", shown.c_str());
}

int OnVolume(void* context, const char* path, int mode) {
  auto* run = static_cast<Run*>(context);
  if (mode == ACE_VOLUME_MISSING) {
    run->missingVolume = true;
    PrintReport(std::string("cannot find volume ") + path);
    return 0;
  }
  std::printf("volume %s\n", path);
  return 1;
}

int OnData(void*, const std::uint8_t*, std::int32_t) { return 1; }

const char* MethodName(int method) {
  switch (method) {
    case 0: return "stored";
    case 1: return "lz77";
    case 2: return "blocked";
    default: return "unknown";
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: aceextract l ARCHIVE\n"
               "       aceextract t ARCHIVE\n"
               "       aceextract x ARCHIVE DEST\n"
               "option: --codepage CP   code page of names that are not UTF-8 (437, 850, 852, 866, ...;\n"
               "                        default 850)\n");
  return 2;
}

// Takes `option VALUE` out of the arguments, wherever it stands. False when the
// option is there without a value.
bool TakeOption(int& argc, char** argv, const char* option, const char*& value) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], option) != 0) continue;
    if (i + 1 >= argc) return false;
    value = argv[i + 1];
    for (int k = i; k + 2 < argc; ++k) argv[k] = argv[k + 2];
    argc -= 2;
    --i;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* codePage = nullptr;
  if (!TakeOption(argc, argv, "--codepage", codePage)) return Usage();
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string archive = argv[2];
  if (!((command == "l" && argc == 3) || (command == "t" && argc == 3) ||
        (command == "x" && argc == 4))) {
    return Usage();
  }
  std::string dest = command == "x" ? argv[3] : "";
  if (!dest.empty() && dest.back() != '/') dest += '/';

  Run run;
  TACEOpenArchiveData open;
  open.ArchivePath = archive.c_str();
  open.VolumeCallback = OnVolume;
  open.DataCallback = OnData;
  open.CallbackContext = &run;
  open.CodePage = codePage;
  TACEHandle handle = ACEOpenArchive(&open);
  if (open.Status == ACE_ERR_CONSTANT) {
    std::fprintf(stderr, "aceextract: unknown code page \"%s\"; give one such as 437, 850, 852 or 866\n",
                 codePage ? codePage : "");
    ACECloseArchive(handle);
    return Usage();
  }
  if (open.Status != ACE_OK) {
    PrintReport(ace::OpenErrorText(open.Status, archive));
    ACECloseArchive(handle);
    return 1;
  }

  int failures = 0;
  TACEHeaderData header;
  int code;
  while ((code = ACEReadHeader(handle, &header)) == ACE_OK) {
    if (command == "l") {
      std::printf("%12" PRId64 " %12" PRId64 " %-7s %08" PRIX32 " %s%s\n", header.OriginalSize,
                  header.PackedSize, MethodName(header.Method), header.Crc32, header.EntryName,
                  header.Directory ? "\\" : "");
      continue;
    }
    const int result =
        ACEProcessFile(handle, command == "t" ? ACE_TEST : ACE_EXTRACT, dest.c_str());
    if (result != ACE_OK) {
      ++failures;
      std::string text = ace::ProcessErrorText(result);
      if (text.empty()) text = "error " + std::to_string(result);
      PrintReport(std::string(header.EntryName) + ": " + text);
      if (result == ACE_ERR_FILES) break;
    } else if (command == "t") {
      std::printf("ok  %s\n", header.EntryName);
    }
  }
  if (code != ACE_OK && code != ACE_ERR_END) {
    ++failures;
    const std::string text = ace::HeaderErrorText(code);
    if (!text.empty()) PrintReport(text);
    else if (!run.missingVolume) PrintReport("error " + std::to_string(code));
  }
  ACECloseArchive(handle);
  return failures ? 1 : 0;
}
