// Reading a command's text arguments, inline or from files.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "host/library.h"

namespace vphost {

std::string ReadArgument(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '@') return arg;
  if (arg[1] == '@') return arg.substr(1);  // "@@..." passes a text that starts with "@"
  if (arg == "@-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::string path = arg.substr(1);
  std::error_code ec;
  // A folder opens as a stream that reads nothing; the export would get an empty text.
  if (std::filesystem::is_directory(path, ec))
    throw std::runtime_error("argument file " + path + " is a folder (write @@ for a text " +
                             "that starts with @)");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read argument file " + path);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error("cannot read argument file " + path);
  return text;
}

}  // namespace vphost
