// Hierarchical Notes names: canonical ("CN=Bob/O=Acme") and abbreviated ("Bob/Acme") forms.
#pragma once
#include <string>
#include <string_view>

namespace notesemu {

// True when the name begins with the common-name key "CN=" (any case); only such a name is
// hierarchical.
bool IsCanonicalName(std::string_view name);

// True when one component of a name begins with a name key such as "O=" (any case).
bool HasComponentKey(std::string_view component);

// Drops the keys CN, OU, O, C (and the other name keys G, S, I, Q, P, A) from the components of
// a canonical name; any other name is returned unchanged.
std::string AbbreviateName(std::string_view name);

// ASCII upper case; other bytes unchanged.
std::string UpperAscii(std::string_view text);

}  // namespace notesemu
