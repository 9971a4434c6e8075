// Auto-start on POSIX: a desktop entry in the XDG autostart folder.
#include "platform/autostart.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

namespace vp {

const char* const kStartupShortcutName = "Veilpost Control.desktop";

std::string DefaultStartupFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return "";
  return std::string(home) + "/.config/autostart";
}

bool OwnExecutablePath(std::string* path) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return false;
  path->assign(buf, static_cast<size_t>(n));
  return (*path)[0] == '/';
}

std::string DesktopExecValue(const std::string& program) {
  // Inside the quotes `"`, `` ` ``, `$` and `\` take a backslash; `%` is doubled as a field
  // code would otherwise start; then the string value's own escape doubles every backslash.
  std::string quoted = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

bool WriteStartupShortcut(const std::string& target, const std::string& linkPath,
                          std::string* error) {
  if (target.find_first_of("\r\n") != std::string::npos) {
    *error = "the program path holds a line break";
    return false;
  }
  size_t slash = linkPath.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : linkPath.substr(0, slash);
  for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
    MakeDirectory(folder.substr(0, at));
  MakeDirectory(folder);
  std::string text =
      "[Desktop Entry]\nType=Application\nName=Veilpost Control\nExec=" + DesktopExecValue(target) +
      "\nTerminal=false\n";
  std::string temp = CreateUniqueFile(folder, "veilpost");
  bool ok = !temp.empty() && WriteFileContent(temp, text.data(), text.size()) &&
            ReplaceFile(temp, linkPath);
  if (!ok) {
    *error = LastErrorText();
    if (!temp.empty()) DeleteFilePath(temp);
  }
  return ok;
}

}  // namespace vp
