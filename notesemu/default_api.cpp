// The process's Notes API: the embedded store unless another implementation was installed.
#include <memory>

#include "notesemu/notes_store.h"
#include "platform/notes_api.h"

namespace vp {
namespace {

std::unique_ptr<NotesApi>& Installed() {
  static std::unique_ptr<NotesApi> api;
  return api;
}

}  // namespace

NotesApi& Notes() {
  auto& api = Installed();
  if (!api) api = std::make_unique<notesemu::NotesStore>();
  return *api;
}

void SetNotes(std::unique_ptr<NotesApi> api) {
  Installed() = std::move(api);
}

}  // namespace vp
