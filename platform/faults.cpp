// Fault injection: counts calls per site and fails those the configuration names.
#include "platform/faults.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

namespace vp {
namespace {

struct Rule {
  std::string site;
  long nth = 0;  // 1-based call number; unused when every call fails
  bool andLater = false;
  bool every = false;
};

struct FaultState {
  std::mutex mutex;
  bool loaded = false;  // the environment has been consulted (or SetFaults replaced it)
  std::vector<Rule> rules;
  std::map<std::string, long, std::less<>> calls;
};

FaultState& State() {
  static FaultState* state = new FaultState;  // never destroyed: sites may be hit at exit
  return *state;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Parses one "site@N", "site@N+" or "site@*"; malformed entries are ignored so that a typo
// never fails sites nobody asked for.
bool ParseRule(std::string_view text, Rule* rule) {
  text = Trim(text);
  size_t at = text.rfind('@');
  if (at == std::string_view::npos || at == 0) return false;
  std::string_view when = text.substr(at + 1);
  rule->site = std::string(text.substr(0, at));
  if (when == "*") {
    rule->every = true;
    return true;
  }
  if (!when.empty() && when.back() == '+') {
    rule->andLater = true;
    when.remove_suffix(1);
  }
  if (when.empty() || when.size() > 9) return false;
  long n = 0;
  for (char c : when) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < 1) return false;
  rule->nth = n;
  return true;
}

void Configure(FaultState& state, std::string_view plan) {
  state.rules.clear();
  state.calls.clear();
  while (!plan.empty()) {
    size_t comma = plan.find(',');
    std::string_view item = plan.substr(0, comma);
    Rule rule;
    if (ParseRule(item, &rule)) state.rules.push_back(rule);
    if (comma == std::string_view::npos) break;
    plan.remove_prefix(comma + 1);
  }
  state.loaded = true;
}

}  // namespace

bool FaultHit(const char* site) {
  if (site == nullptr) return false;
  FaultState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.loaded) {
    const char* env = std::getenv("VEILPOST_FAULTS");
    Configure(state, env ? env : "");
  }
  if (state.rules.empty()) return false;
  std::string_view name(site);
  long call = 0;
  auto it = state.calls.find(name);
  if (it == state.calls.end()) {
    call = state.calls.emplace(std::string(name), 1).first->second;
  } else {
    call = ++it->second;
  }
  for (const Rule& rule : state.rules) {
    if (rule.site != name) continue;
    if (rule.every || call == rule.nth || (rule.andLater && call > rule.nth)) return true;
  }
  return false;
}

void SetFaults(const std::string& plan) {
  FaultState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Configure(state, plan);
}

}  // namespace vp
