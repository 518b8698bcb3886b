#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace test_support {

namespace {

constexpr int kNotFound = 127;  // the child's exit status when the program is missing

// Starts `args` as a child that ends with this process and whose output goes
// nowhere. `keepFd` stays open in the child.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(1);
  if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
  const int null = ::open("/dev/null", O_RDWR);
  for (int fd : {0, 1, 2}) ::dup2(null, fd);
  ::execvp(argv[0], argv.data());
  ::_exit(kNotFound);
}

// Ends a child of ours and collects it.
void End(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

// Why a child that has ended is gone, in words.
std::string HowItEnded(int status) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNotFound) return "could not be run";
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "was ended by signal " + std::to_string(WTERMSIG(status));
}

}  // namespace

XSession::~XSession() { Stop(); }

void XSession::Stop() {
  End(wm_);
  End(server_);
}

bool XSession::Fail(std::string problem) {
  problem_ = std::move(problem);
  Stop();
  return false;
}

bool XSession::Start() {
  // The server writes the display number it chose, and a line break, to this pipe.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return Fail("no pipe for Xvfb's display number");
  server_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp"},
                  fds[1]);
  ::close(fds[1]);
  std::string number;
  pollfd ready{fds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&ready, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (server_ < 0 || number.empty()) {
    int status = 0;
    if (server_ > 0 && ::waitpid(server_, &status, WNOHANG) == server_) {
      server_ = -1;
      return Fail("Xvfb " + HowItEnded(status) + " (it comes with the Debian package xvfb)");
    }
    return Fail("Xvfb reported no display number");
  }
  display_ = ":" + number;
  ::setenv("DISPLAY", display_.c_str(), 1);
  wm_ = Spawn({"openbox", "--sm-disable"});
  if (wm_ < 0) return Fail("cannot start openbox");
  return WaitForWindowManager();
}

// A window manager that has taken the screen names itself in the root window's
// _NET_SUPPORTING_WM_CHECK property.
bool XSession::WaitForWindowManager() {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return Fail("cannot connect to Xvfb on " + display_);
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const char name[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t check = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);

  bool taken = false;
  for (int tries = 0; tries < 3000 && !taken; ++tries) {
    int status = 0;
    if (::waitpid(wm_, &status, WNOHANG) == wm_) {
      wm_ = -1;
      xcb_disconnect(c);
      return Fail("openbox " + HowItEnded(status) + " (it comes with the Debian package openbox)");
    }
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    taken = reply != nullptr && xcb_get_property_value_length(reply) == 4;
    std::free(reply);
    if (!taken) ::usleep(10000);
  }
  xcb_disconnect(c);
  if (!taken) return Fail("openbox did not take the screen of " + display_);
  return true;
}

}  // namespace test_support
