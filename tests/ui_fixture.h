// Test fixture for the headless user interface: a private answer script and transcript per test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "platform/ui.h"
#include "support/test_env.h"

namespace vptest {

class UiFixture : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshDir(testing::UnitTest::GetInstance()->current_test_info()->name());
    log_ = dir_ + "/ui.log";
    script_ = dir_ + "/answers.txt";
    setenv("VEILPOST_UI_LOG", log_.c_str(), 1);
    UseScript("");
    // Without caching the passphrase stays in this process: no test inherits the last one's.
    vp::WipeOwnPassphrase();
  }

  void TearDown() override {
    unsetenv("VEILPOST_UI");
    unsetenv("VEILPOST_UI_LOG");
    unsetenv("VEILPOST_SCREEN");
    vp::SetUi(nullptr);
  }

  // Answers the next prompts from `text`; the interface is chosen afresh from the environment.
  void UseScript(const std::string& text) {
    WriteFile(script_, text);
    setenv("VEILPOST_UI", ("script:" + script_).c_str(), 1);
    vp::SetUi(nullptr);
  }

  std::string RawLog() const { return ReadFile(log_); }

  // The transcript's events, optionally only those of one kind.
  std::vector<nlohmann::json> Events(const std::string& kind = "") const {
    std::vector<nlohmann::json> events;
    std::istringstream in(RawLog());
    std::string line;
    while (std::getline(in, line)) {
      nlohmann::json e = nlohmann::json::parse(line);
      if (kind.empty() || e["event"] == kind) events.push_back(e);
    }
    return events;
  }

  std::string dir_, log_, script_;
};

}  // namespace vptest
