#pragma once

#include <memory>
#include <string>

#include "harness/Process.h"

namespace itest {

// A private X server on a display number nobody else holds.  The constructor
// returns once the server accepts connections; the destructor stops it.
class Xvfb {
 public:
  Xvfb(const std::string& logDir, int width, int height);
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  const std::string& display() const { return display_; }
  pid_t pid() const { return server_ ? server_->pid() : -1; }

 private:
  bool tryStart(int number, const std::string& logDir, int width, int height);

  std::string display_;
  std::unique_ptr<Process> server_;
};

std::string displayName(int number);  // ":<number>"

// True when no X server holds the lock of display number n.
bool displayNumberFree(int number);

}  // namespace itest
