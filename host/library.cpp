// Loading the hook library by name.
#include "host/library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace vphost {

void* LoadHookLibrary() {
  // The library beside the program first: the run path is not consulted when another library
  // (a sanitizer's runtime, for one) makes the dlopen call on the program's behalf.
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  void* lib = nullptr;
  if (!ec) {
    std::filesystem::path beside = self.parent_path().parent_path() / "lib" / "liborlavex.so";
    if (std::filesystem::exists(beside, ec)) lib = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!lib) lib = dlopen("liborlavex.so", RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "veilpost: cannot load liborlavex.so: %s\n", dlerror());
    exit(1);
  }
  return lib;
}

void* FindExport(void* library, const char* name) {
  return dlsym(library, name);
}

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
