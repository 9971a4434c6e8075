// The library's string table, as data.
#pragma once

namespace vp {

// The text of string resource `id`, or null when the library has no such string.
const char* FindStringResource(int id);

}  // namespace vp
