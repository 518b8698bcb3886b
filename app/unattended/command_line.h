// The installer's command line: nothing (the window), --help, or --target DIR (the
// unattended install).
#pragma once

#include <string>
#include <vector>

struct TCommandLine {
  enum Kind { Window, Help, Unattended, Bad } Mode = Window;
  std::string Target;  // with Unattended
  std::string Error;   // with Bad: what was wrong
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text, for --help and after a usage error.
std::string UsageText(const std::string& program);
