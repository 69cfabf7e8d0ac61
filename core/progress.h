// Carriage-return progress lines are drawn at most ten times a second: a tree of a million
// files would otherwise spend its time writing to the console.
#pragma once

#include <chrono>

class ProgressTimer {
 public:
  // True for the first call and then once per interval.
  bool Due() {
    auto now = std::chrono::steady_clock::now();
    if (started_ && now - last_ < std::chrono::milliseconds(100)) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  bool started_ = false;
  std::chrono::steady_clock::time_point last_;
};
