// Abbreviating a Notes name through the Notes API.
#include "hooklib/notesdb/abbreviated_name.h"

#include <algorithm>
#include <cstdint>

#include "hooklib/core/settings.h"
#include "platform/notes_api.h"

namespace vp {

void AbbreviateNotesName(const char* name, char* buffer, size_t size) {
  if (!buffer || size == 0) return;
  if (!name) name = "";
  const uint16_t capacity = static_cast<uint16_t>(std::min<size_t>(size, UINT16_MAX));
  if (Notes().AbbreviateName(0, nullptr, name, buffer, capacity, nullptr) != 0) {
    CopyText(buffer, size, name);
  }
}

}  // namespace vp
