// Loading the hook library by name.
#include "host/library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vphost {

void* LoadHookLibrary() {
  // The library beside the program first: the run path is not consulted when another library
  // (a sanitizer's runtime, for one) makes the dlopen call on the program's behalf.
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  void* lib = nullptr;
  // The build keeps it in ../lib, the package in its private folder ../lib/veilpost.
  if (!ec) {
    std::filesystem::path libs = self.parent_path().parent_path() / "lib";
    for (const auto& beside : {libs / "liborlavex.so", libs / "veilpost" / "liborlavex.so"}) {
      if (!std::filesystem::exists(beside, ec)) continue;
      lib = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (lib) break;
    }
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

}  // namespace vphost
