// Abbreviation of canonical names and the case folding the store compares names with.
#include "notesemu/names.h"

#include <array>

namespace notesemu {
namespace {

constexpr std::array<std::string_view, 10> kKeys = {"CN", "OU", "O", "C", "G",
                                                    "S",  "I",  "Q", "P", "A"};

// The length of the "KEY=" prefix of a component, 0 when it has none.
size_t KeyLength(std::string_view component) {
  size_t eq = component.find('=');
  if (eq == std::string_view::npos) return 0;
  std::string key = UpperAscii(component.substr(0, eq));
  for (auto k : kKeys) {
    if (key == k) return eq + 1;
  }
  return 0;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool HasComponentKey(std::string_view component) {
  return KeyLength(component) != 0;
}

bool IsCanonicalName(std::string_view name) {
  // Only the common-name key opens a hierarchical name: "c=smith@example.com" is an address.
  return name.size() > 3 && UpperAscii(name.substr(0, 3)) == "CN=";
}

std::string AbbreviateName(std::string_view name) {
  if (!IsCanonicalName(name)) return std::string(name);
  std::string out;
  size_t start = 0;
  while (true) {
    size_t slash = name.find('/', start);
    std::string_view part =
        name.substr(start, slash == std::string_view::npos ? slash : slash - start);
    part.remove_prefix(KeyLength(part));
    out.append(part);
    if (slash == std::string_view::npos) break;
    out.push_back('/');
    start = slash + 1;
  }
  return out;
}

}  // namespace notesemu
