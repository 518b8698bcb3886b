// aceextract l ARCHIVE        list the entries (name, sizes, method, CRC)
// aceextract t ARCHIVE        decode every entry and check its CRC, write nothing
// aceextract x ARCHIVE DEST   extract the whole set below DEST
// --codepage CP (anywhere) reads names that are not UTF-8 in code page CP
// (437, 850, 852, 866, ...; default 850).
//
// -p PASSWORD / --password PASSWORD (anywhere) decrypts encrypted entries.
// Without it, the first encrypted entry asks for the password on the terminal
// (/dev/tty, not echoed); with no terminal, encrypted entries fail.
//
// Built on the four library calls, as the installer is. Failures print the
// installer's own report texts (a carriage return shown as a line break) and end
// with a non-zero exit status. On a terminal, t and x show their progress on
// stderr (bytes done of the set's total, rate, time left). SIGINT, SIGTERM and
// SIGHUP abandon the entry being written (nothing is left under its name) and end
// the program with 128 plus the signal's number.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "ace_messages.h"
#include "stop_signals.h"
#include "terminal_progress.h"
#include "unace.h"

namespace {

struct Run {
  TTerminalProgress progress{stderr};
  std::uint64_t done = 0, total = 0;  // unpacked bytes
  std::string entry;                  // the entry being handled, with slashes
  bool missingVolume = false;
  std::optional<std::string> password;  // given with -p, or typed at the prompt
  bool noTerminal = false;              // the prompt found no terminal
};

// The terminal's settings while the password is typed without echo, put back
// by the handler too if a signal ends the program during the prompt.
int ttyFd = -1;
termios ttySaved;

void RestoreTerminal(int signal) {
  ::tcsetattr(ttyFd, TCSANOW, &ttySaved);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Asks for the password on the controlling terminal without echoing it. False
// when there is no terminal to ask on.
bool AskPassword(const std::string& archive, std::string& password) {
  ttyFd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ttyFd < 0) return false;
  if (::tcgetattr(ttyFd, &ttySaved) != 0) {
    ::close(ttyFd);
    return false;
  }
  termios quiet = ttySaved;
  quiet.c_lflag &= ~tcflag_t(ECHO);
  quiet.c_lflag |= ECHONL;  // the typed line's end still moves to the next line
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
  void (*previous[5])(int);
  for (int i = 0; i < 5; ++i) previous[i] = std::signal(signals[i], RestoreTerminal);
  ::tcsetattr(ttyFd, TCSAFLUSH, &quiet);
  const std::string prompt = "Password for " + archive + ": ";
  if (::write(ttyFd, prompt.data(), prompt.size()) < 0) {
    // Nothing to do: the read below still takes the answer.
  }
  password.clear();
  char c = 0;
  while (::read(ttyFd, &c, 1) == 1 && c != '\n') password += c;
  if (!password.empty() && password.back() == '\r') password.pop_back();
  ::tcsetattr(ttyFd, TCSAFLUSH, &ttySaved);
  if (c != '\n' && ::write(ttyFd, "\n", 1) < 0) {
    // The input ended without a line end; the line break is only cosmetic.
  }
  for (int i = 0; i < 5; ++i) std::signal(signals[i], previous[i]);
  ::close(ttyFd);
  ttyFd = -1;
  return true;
}

Run* gRun = nullptr;

void PrintReport(const std::string& text) {
  if (gRun) gRun->progress.Finish();
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
  run->progress.Finish();  // the volume's line goes below the progress line, not into it
  std::printf("volume %s\n", path);
  std::fflush(stdout);
  return 1;
}

int OnData(void* context, const std::uint8_t*, std::int32_t count) {
  auto* run = static_cast<Run*>(context);
  run->done += std::uint64_t(count > 0 ? count : 0);
  run->progress.UpdateBytes(run->done, run->total, run->entry);
  // Answering 0 abandons the entry: the library leaves nothing under its name.
  return StopSignalArrived() ? 0 : 1;
}

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
               "                        default 850)\n"
               "        -p, --password PASSWORD   for encrypted entries\n");
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
  const char* password = nullptr;
  if (!TakeOption(argc, argv, "--codepage", codePage) || !TakeOption(argc, argv, "-p", password) ||
      !TakeOption(argc, argv, "--password", password)) {
    return Usage();
  }
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string archive = argv[2];
  if (!((command == "l" && argc == 3) || (command == "t" && argc == 3) ||
        (command == "x" && argc == 4))) {
    return Usage();
  }
  std::string dest = command == "x" ? argv[3] : "";
  if (!dest.empty() && dest.back() != '/') dest += '/';

  CatchStopSignals();
  Run run;
  gRun = &run;
  if (password) run.password = password;
  if (command != "l" && run.progress.Terminal()) {
    TACESetSummary summary;
    ACEScanArchive(archive.c_str(), &summary);  // only for the total; failures show below
    run.total = std::uint64_t(summary.UnpackedTotal);
  }
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
  if (run.password) ACESetPassword(handle, run.password->c_str());

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
    if (header.Encrypted && header.OriginalSize > 0 && !run.password && !run.noTerminal) {
      std::string typed;
      if (AskPassword(archive, typed)) {
        run.password = typed;
        ACESetPassword(handle, typed.c_str());
      } else {
        run.noTerminal = true;
      }
    }
    run.entry = header.EntryName;
    for (char& c : run.entry) c = c == '\\' ? '/' : c;
    const int result =
        ACEProcessFile(handle, command == "t" ? ACE_TEST : ACE_EXTRACT, dest.c_str());
    if (StopSignalArrived()) break;
    if (result != ACE_OK) {
      ++failures;
      std::string text = ace::ProcessErrorText(result);
      if (text.empty()) text = "error " + std::to_string(result);
      if (result == ACE_ERR_ENCRYPTED) {
        text += run.noTerminal ? " (no password given, and no terminal to ask for one)" : " (no password given)";
      }
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
  run.progress.Finish();
  gRun = nullptr;
  if (StopSignalArrived()) {
    std::fprintf(stderr, "aceextract: stopped by a signal\n");
    return 128 + StopSignalNumber();
  }
  return failures ? 1 : 0;
}
