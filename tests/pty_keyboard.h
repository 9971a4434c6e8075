// The keyboard side of a pseudo-terminal, for tests that drive a program as a person would.
#pragma once
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace vptest {

// The keyboard side of a pseudo-terminal and everything the program has shown on it.
class Keyboard {
 public:
  explicit Keyboard(int master) : master_(master) {}

  // Waits until `text` appears after what earlier waits consumed; false after 60 seconds (the
  // GnuPG runs in between can be slow on a busy machine) or when the program has gone.
  bool WaitFor(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      size_t at = screen_.find(text, consumed_);
      if (at != std::string::npos) {
        consumed_ = at + text.size();
        return true;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) > 0) {
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) return false;
        screen_.append(buf, static_cast<size_t>(n));
      }
    }
  }
  void Type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  const std::string& Screen() const { return screen_; }

 private:
  int master_;
  std::string screen_;
  size_t consumed_ = 0;
};

}  // namespace vptest
