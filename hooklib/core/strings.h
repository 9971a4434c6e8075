// The library's message strings, loaded at attach.
#pragma once

namespace vp {

// Loads string resource `id` as a new heap text (free with free()); "<Resource not found>"
// when the resource does not exist.
char* LoadResString(int id);

// The message string `id` (145 to 177) loaded at attach; "<Resource not found>" before that or
// for ids outside the table.
const char* MessageString(int id);

// Loads every message string; called once at attach.
void LoadMessageStrings();

}  // namespace vp
