// The stand-in's Notes API library (libnnotes.so): the entries the system binds at run time by
// name, as it does with NNOTES.DLL.
#include <cstdint>

#include "notesemu/api_library.h"
#include "notesemu/design_refresh.h"
#include "notesemu/status_codes.h"

namespace {

notesemu::DatabaseFileResolver g_resolver = nullptr;
void* g_context = nullptr;

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void NotesEmuUseDatabases(
    notesemu::DatabaseFileResolver resolver, void* context) {
  g_resolver = resolver;
  g_context = context;
}

// The server name is the local machine's in every call the system makes; the flags and the two
// callbacks are not used.
__attribute__((visibility("default"))) uint16_t DesignRefresh(const char* server, uint32_t db,
                                                              uint32_t, void*, void*) {
  if (server && *server) return notesemu::kErrInvalidArgument;
  if (!g_resolver) return notesemu::kErrInvalidHandle;
  char path[4096];
  if (uint16_t status = g_resolver(g_context, db, path, sizeof path)) return status;
  return notesemu::RefreshDesign(path);
}

}  // extern "C"
