#include "unattended_install.h"

#include <exception>
#include <unistd.h>

#include "console_view.h"
#include "install_engine.h"
#include "stop_signals.h"

int RunUnattendedInstall(const std::string& exeDir, const std::string& target, std::FILE* out, std::FILE* err) {
  CatchStopSignals();
  TInstallEngine engine(exeDir);
  try {
    engine.ReadSettings();
  } catch (const std::exception& e) {
    // The window shows this in its general error report, captioned "Install".
    std::fprintf(err, "%s\n", MessageLine("Install", e.what()).c_str());
    return kExitFailed;
  }
  TConsoleRunView view(err, ::isatty(::fileno(err)) == 1, out, &StopSignalArrived);
  engine.State().TargetDir = target;
  engine.RunInstall(view);
  view.FinishLine();

  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", view.Seconds());
  const std::string figures =
      std::to_string(engine.EntriesWritten()) + " entries, " + ByteCount(engine.BytesWritten()) + " in " + seconds;
  if (StopSignalArrived()) {
    std::fprintf(err, "Interrupted: %s written to %s\n", figures.c_str(), engine.State().TargetDir.c_str());
    return kExitInterrupted;
  }
  if (engine.LastEnd() != TRunEnd::Completed) {
    std::fprintf(err, "Not installed: %s written to %s\n", figures.c_str(), engine.State().TargetDir.c_str());
    return kExitFailed;
  }
  std::fprintf(err, "Installed %s into %s\n", figures.c_str(), engine.State().TargetDir.c_str());
  return kExitInstalled;
}
