// The installer program. Without arguments it is the window, and everything comes
// from the folder it lies in; `--target DIR` installs the same release without one.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "paths.h"
#include "startup.h"
#include "unattended_install.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const TCommandLine command = ParseCommandLine(args);
  const std::string program = FileNamePart(argc > 0 ? argv[0] : "install");
  switch (command.Mode) {
    case TCommandLine::Window:
      return RunInstallerApplication(argc, argv);
    case TCommandLine::Help:
      std::fputs(UsageText(program).c_str(), stdout);
      return kExitInstalled;
    case TCommandLine::Unattended:
      return RunUnattendedInstall(ExecutableDir(), command.Target, stdout, stderr);
    case TCommandLine::Bad:
      break;
  }
  std::fprintf(stderr, "%s: %s\n\n%s", program.c_str(), command.Error.c_str(), UsageText(program).c_str());
  return kExitUsage;
}
