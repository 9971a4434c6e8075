// Loading the hook library by name.
#include "host/library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace vphost {

void* LoadHookLibrary() {
  void* lib = dlopen("liborlavex.so", RTLD_NOW | RTLD_LOCAL);
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
  if (arg == "@-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream in(arg.substr(1), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read argument file " + arg.substr(1));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vphost
