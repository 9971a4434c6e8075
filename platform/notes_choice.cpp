// The process's Notes API: the platform's default unless a host or test installed another.
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
  if (!api) api = MakePlatformNotesApi();
  return *api;
}

void SetNotes(std::unique_ptr<NotesApi> api) {
  Installed() = std::move(api);
}

}  // namespace vp
