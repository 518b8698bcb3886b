// The failure of a call that cannot answer with a Status alone: the Status, and
// a message for people that names what failed (the writer's entry points throw it).
#pragma once

#include <stdexcept>
#include <string>

#include "status.h"

namespace ace {

class Error : public std::runtime_error {
 public:
  Error(Status status, const std::string& message) : std::runtime_error(message), status_(status) {}
  Status status() const { return status_; }

 private:
  Status status_;
};

}  // namespace ace
