// Writes the settings file that the registry port reads, for tests.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace vptest {

// One value of the configuration key: a string ("text") or, with isNumber, a 32-bit number.
struct RegValue {
  std::string name;
  std::string text;
  unsigned number = 0;
  bool isNumber = false;
};
RegValue Str(const std::string& name, const std::string& text);
RegValue Num(const std::string& name, unsigned number);

// Replaces the process's settings file with the configuration key holding `values`.
void WriteConfigKey(const std::vector<RegValue>& values);
// Removes the settings file (no key at all).
void RemoveRegistry();

}  // namespace vptest
