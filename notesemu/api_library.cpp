// Loading the stand-in's Notes API library by name, and the store's run-time bound entries.
#include "notesemu/api_library.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"
#include "platform/faults.h"

namespace notesemu {
namespace {

// Where the code of the store lies: the library or program that holds this function.
std::filesystem::path ModuleFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) || !info.dli_fname) return {};
  std::error_code ec;
  return std::filesystem::canonical(info.dli_fname, ec).parent_path();
}

uint16_t ResolveDatabase(void* context, uint32_t db, char* path, size_t size) {
  std::string file;
  vp::NotesStatus status = static_cast<NotesStore*>(context)->DatabaseFile(db, &file);
  if (status) return status;
  if (!path || file.size() >= size) return kErrPathTooLong;
  std::memcpy(path, file.c_str(), file.size() + 1);
  return 0;
}

}  // namespace

std::string ApiLibraryFile(const std::string& libraryName) {
  std::string lower;
  for (char c : libraryName)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "nnotes.dll") {
    const char* chosen = std::getenv("VEILPOST_NOTES_API_LIBRARY");
    if (chosen && *chosen) return chosen;
  }
  if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0)
    lower.resize(lower.size() - 4);
  return "lib" + lower + ".so";
}

void* LoadApiLibraryFile(const std::string& file) {
  if (file.find('/') == std::string::npos) {
    std::filesystem::path folder = ModuleFolder();
    std::error_code ec;
    std::filesystem::path libs = folder.parent_path() / "lib";
    for (const auto& candidate : {folder / file, libs / file, libs / "veilpost" / file}) {
      if (folder.empty() || !std::filesystem::is_regular_file(candidate, ec)) continue;
      if (void* lib = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return lib;
    }
  }
  return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindApiEntry(void* library, const char* name) {
  return library && name ? dlsym(library, name) : nullptr;
}

vp::NotesStatus NotesStore::LoadApiLibrary(const char* libraryName) {
  if (!libraryName || vp::FaultHit("notes.LoadApiLibrary")) return kErrLibraryNotFound;
  void* library = LoadApiLibraryFile(ApiLibraryFile(libraryName));
  if (!library) return kErrLibraryNotFound;
  apiLibrary_ = library;
  return 0;
}

vp::NotesStatus NotesStore::FindDesignRefresh(const char* entryName,
                                              vp::DesignRefreshEntry* entry) {
  if (!entry) return kErrInvalidArgument;
  *entry = nullptr;
  if (!apiLibrary_ || vp::FaultHit("notes.FindDesignRefresh")) return kErrEntryNotFound;
  auto refresh = reinterpret_cast<DesignRefreshFunction>(FindApiEntry(apiLibrary_, entryName));
  auto bind = reinterpret_cast<BindEntry>(FindApiEntry(apiLibrary_, kBindEntry));
  if (!refresh || !bind) return kErrEntryNotFound;
  *entry = [this, refresh, bind](const char* server, vp::DbHandle db, uint32_t flags,
                                 void* abortCheck, void* messageProc) {
    bind(&ResolveDatabase, this);
    return refresh(server, db, flags, abortCheck, messageProc);
  };
  return 0;
}

vp::NotesStatus NotesStore::DatabaseFile(vp::DbHandle db, std::string* file) {
  return Guarded([&]() -> vp::NotesStatus {
    *file = Database(db).Path();
    return 0;
  });
}

}  // namespace notesemu
