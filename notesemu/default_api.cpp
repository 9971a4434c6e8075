// The Notes API where no Notes client exists: the embedded store.
#include <memory>

#include "notesemu/notes_store.h"
#include "platform/notes_api.h"

namespace vp {

std::unique_ptr<NotesApi> MakePlatformNotesApi() {
  return std::make_unique<notesemu::NotesStore>();
}

}  // namespace vp
