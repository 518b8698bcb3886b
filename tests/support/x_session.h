// A private X display for tests that must see what the window system sees: an Xvfb
// server on a display number that the server picks itself (so that runs side by
// side never collide) and a real window manager (openbox) on it.
#pragma once

#include <sys/types.h>

#include <string>

namespace test_support {

class XSession {
 public:
  XSession() = default;
  ~XSession();  // stops the window manager, then the server
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Starts the server and the window manager and points DISPLAY at the new display.
  // Returns once the window manager has taken the screen. False when either cannot
  // be started; Problem() then says why.
  bool Start();

  bool Running() const { return problem_.empty() && wm_ > 0; }
  const std::string& Problem() const { return problem_; }
  const std::string& Display() const { return display_; }

 private:
  bool Fail(std::string problem);
  bool WaitForWindowManager();
  void Stop();

  pid_t server_ = -1;
  pid_t wm_ = -1;
  std::string display_;
  std::string problem_;
};

}  // namespace test_support
