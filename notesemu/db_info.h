// The 128-byte database info text: fields separated by line feeds (0 title, 1 categories,
// 2 template name, 3 template inherited from).
#pragma once
#include <cstdint>
#include <string>

#include "platform/notes_api.h"

namespace notesemu {

// Field `field` of `info` ("" when it has fewer fields).
std::string InfoField(const std::string& info, uint16_t field);

// `info` with field `field` replaced (missing fields before it are added empty); kErrInfoFull
// when the result would not fit kDbInfoSize-1 bytes or the value holds a line feed.
vp::NotesStatus SetInfoField(std::string* info, uint16_t field, const std::string& value);

}  // namespace notesemu
