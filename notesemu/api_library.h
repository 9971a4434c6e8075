// The stand-in's Notes API library: what the Windows build finds in NNOTES.DLL, the embedded
// store finds by name in a shared library.
//
// A library asked for as "NAME.DLL" is the file "libname.so" (lower case); NNOTES.DLL is
// libnnotes.so, built from notesemu/nnotes/, unless $VEILPOST_NOTES_API_LIBRARY names another
// file. A bare file name is looked for beside the module holding the store, then in ../lib and
// the package's private folder ../lib/veilpost from there, then on the system's library path.
//
// The library's entries take database handles of the store that loaded it: before each call
// the store hands the library a resolver from its handles to database files (kBindEntry).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace notesemu {

// Writes the file of database `db` into `path` (terminated); non-zero when `db` is no open
// database or the path does not fit.
using DatabaseFileResolver = uint16_t (*)(void* context, uint32_t db, char* path, size_t size);
// The library's entry that takes the resolver (and its context) for the calls that follow.
using BindEntry = void (*)(DatabaseFileResolver resolver, void* context);
constexpr const char* kBindEntry = "NotesEmuUseDatabases";
// The signature of DesignRefresh: server, database, flags, abort check, message callback.
using DesignRefreshFunction = uint16_t (*)(const char*, uint32_t, uint32_t, void*, void*);

// The file a library name stands for (see above).
std::string ApiLibraryFile(const std::string& libraryName);
// Loads that file as described above; null when it cannot be loaded. Never unloaded.
void* LoadApiLibraryFile(const std::string& file);
// An entry of a loaded library by name; null when missing.
void* FindApiEntry(void* library, const char* name);

}  // namespace notesemu
