// The mapping of servers and network paths to files under the Notes data folder.
#include "notesemu/data_paths.h"

#include <cstdlib>

#include "notesemu/names.h"

namespace notesemu {

std::string DataFolder() {
  const char* data = std::getenv("VEILPOST_NOTES_DATA");
  if (data && *data) return data;
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
  if (server.empty() && !file.empty() && file[0] == '/') return file;
  while (!file.empty() && file[0] == '/') file.erase(0, 1);
  return ServerFolder(server) + "/" + file;
}

std::string LocalDirectoryFile() {
  return DataFolder() + "/names.nsf";
}

}  // namespace notesemu
