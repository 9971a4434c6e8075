// Writes REGEDIT4 settings files for tests.
#include "support/registry_file.h"

#include <cstdio>
#include <filesystem>

#include "support/test_env.h"

namespace vptest {

RegValue Str(const std::string& name, const std::string& text) {
  return {name, text, 0, false};
}
RegValue Num(const std::string& name, unsigned number) {
  return {name, "", number, true};
}

void WriteConfigKey(const std::vector<RegValue>& values) {
  std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n";
  for (const RegValue& v : values) {
    text += "\"" + v.name + "\"=";
    if (v.isNumber) {
      char hex[16];
      snprintf(hex, sizeof hex, "dword:%08x", v.number);
      text += hex;
    } else {
      std::string escaped;
      for (char c : v.text) {
        if (c == '\\' || c == '"') escaped += '\\';
        escaped += c;
      }
      text += "\"" + escaped + "\"";
    }
    text += "\r\n";
  }
  WriteFile(RegistryPath(), text);
}

void RemoveRegistry() {
  std::filesystem::remove(RegistryPath());
}

}  // namespace vptest
