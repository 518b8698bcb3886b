// The installer without its window: `install --target DIR`. The same engine as the
// window's, with no display, no music and no questions.
#pragma once

#include <cstdio>
#include <string>

// Exit status of the unattended install.
enum : int { kExitInstalled = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130 };

// Installs the release whose install.ini lies in exeDir into target. Progress and
// messages go to err (redrawn in place when it is a terminal), the files the
// window would open to out.
int RunUnattendedInstall(const std::string& exeDir, const std::string& target, std::FILE* out, std::FILE* err);
