// The mapping of servers and network paths to files under the Notes data folder.
#include "notesemu/data_paths.h"

#include <cstdlib>

#include "notesemu/names.h"

namespace notesemu {
namespace {

bool IsSeparator(char c) {
#if defined(_WIN32)
  if (c == '\\') return true;
#endif
  return c == '/';
}

// "/x"; on Windows also "\x", "C:\x" and "C:/x" (a drive-relative "C:x" is not taken as local).
bool IsAbsoluteFile(const std::string& file) {
  if (file.empty()) return false;
  if (IsSeparator(file[0])) return true;
#if defined(_WIN32)
  bool letter = (file[0] >= 'A' && file[0] <= 'Z') || (file[0] >= 'a' && file[0] <= 'z');
  if (letter && file.size() > 2 && file[1] == ':' && IsSeparator(file[2])) return true;
#endif
  return false;
}

}  // namespace

std::string DataFolder() {
  const char* data = std::getenv("VEILPOST_NOTES_DATA");
  if (data && *data) return data;
#if defined(_WIN32)
  // Where a Windows user's own program data lives; HOME, when set at all, is a Unix shell's.
  const char* appData = std::getenv("LOCALAPPDATA");
  if (appData && *appData) return std::string(appData) + "\\Veilpost\\Notes";
#endif
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/veilpost/notes";
  return ".";
}

std::string ServerKey(const std::string& server) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string key;
  for (unsigned char c : AbbreviateName(server)) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
      key.push_back(static_cast<char>(c));
    } else {
      key.push_back('%');
      key.push_back(kHex[c >> 4]);
      key.push_back(kHex[c & 15]);
    }
  }
  return key;
}

std::string ServerFolder(const std::string& server) {
  if (server.empty()) return DataFolder();
  return DataFolder() + "/servers/" + ServerKey(server);
}

std::string FileForNetPath(const std::string& netPath) {
  std::string server;
  std::string file = netPath;
  size_t bang = netPath.find("!!");
  if (bang != std::string::npos) {
    server = netPath.substr(0, bang);
    file = netPath.substr(bang + 2);
  }
  if (server.empty() && IsAbsoluteFile(file)) return file;
  while (!file.empty() && IsSeparator(file[0])) file.erase(0, 1);
  return ServerFolder(server) + "/" + file;
}

std::string LocalDirectoryFile() {
  return DataFolder() + "/names.nsf";
}

}  // namespace notesemu
