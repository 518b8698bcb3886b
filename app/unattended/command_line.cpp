#include "command_line.h"

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine out;
  if (args.empty()) return out;
  auto bad = [&](std::string why) {
    out = TCommandLine{TCommandLine::Bad, "", std::move(why)};
    return out;
  };
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return {TCommandLine::Help, "", ""};
  std::string target;
  if (args.size() == 2 && args[0] == "--target") target = args[1];
  else if (args.size() == 1 && args[0].rfind("--target=", 0) == 0) target = args[0].substr(9);
  else if (args.size() == 1 && args[0] == "--target") return bad("--target needs a folder");
  else return bad("unknown argument: " + args[0]);
  if (target.empty()) return bad("--target needs a folder");
  return {TCommandLine::Unattended, target, ""};
}

std::string UsageText(const std::string& program) {
  return "usage: " + program + "               show the installer window\n"
         "       " + program + " --target DIR  install the release into DIR without a window\n"
         "       " + program + " --help        show this text\n"
         "\n"
         "The unattended install reads install.ini beside the program, creates DIR with\n"
         "its parents, unpacks the whole archive set there and copies the registration\n"
         "files. It needs no display, plays no music and asks nothing; the files the\n"
         "window would open afterwards are printed instead.\n"
         "Exit status: 0 installed, 1 failed, 2 bad usage, 130 interrupted.\n";
}
