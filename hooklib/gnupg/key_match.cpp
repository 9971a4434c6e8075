// Which keys a looked-up name means.
#include "hooklib/gnupg/key_match.h"

#include <algorithm>

namespace vp {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t at = 0; at + part.size() <= text.size(); ++at)
    if (EqualIgnoringCase(text.substr(at, part.size()), part)) return true;
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// GnuPG writes a colon, a backslash and control characters of a user id as \xHH (a backslash
// also as \\); anything else stands as it is.
std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
      i += 3;
    } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string_view> ColonFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    size_t colon = line.find(':', start);
    fields.push_back(line.substr(start, colon == std::string_view::npos ? colon : colon - start));
    if (colon == std::string_view::npos) return fields;
    start = colon + 1;
  }
}

// Field n of a record, when a colon closes it.
std::string_view Field(const std::vector<std::string_view>& fields, size_t n) {
  return n + 1 < fields.size() ? fields[n] : std::string_view();
}

}  // namespace

std::vector<ListedKey> ParseKeyListing(std::string_view listing, bool secret) {
  const std::string_view keyRecord = secret ? "sec" : "pub";
  std::vector<ListedKey> keys;
  bool open = false;  // records belong to the last key
  bool fingerprintDue = false;
  while (!listing.empty()) {
    size_t end = listing.find_first_of("\r\n");
    std::string_view line = listing.substr(0, end);
    listing.remove_prefix(end == std::string_view::npos ? listing.size() : end + 1);
    std::vector<std::string_view> fields = ColonFields(line);
    if (fields.size() < 2) continue;
    if (fields[0] == keyRecord) {
      ListedKey key;
      std::string_view id = Field(fields, 4);
      if (id.size() == 16) key.keyId = std::string(id);
      keys.push_back(std::move(key));
      open = fingerprintDue = true;
    } else if (fields[0] == "pub" || fields[0] == "sec") {
      open = fingerprintDue = false;  // a key of the other kind and its records are no concern
    } else if (fields[0] == "fpr" && fingerprintDue) {
      keys.back().fingerprint = std::string(Field(fields, 9));
      fingerprintDue = false;
    } else if (fields[0] == "uid" && open) {
      std::string_view userId = Field(fields, 9);
      if (!userId.empty()) keys.back().userIds.emplace_back(userId);
      fingerprintDue = false;
    } else if (fields[0] == "sub" || fields[0] == "ssb") {
      fingerprintDue = false;  // a subkey's fingerprint follows
    }
  }
  return keys;
}

std::string AddressOf(std::string_view name) {
  name = Trim(name);
  size_t open = name.rfind('<');
  if (open != std::string_view::npos) {
    size_t close = name.find('>', open);
    if (close != std::string_view::npos) name = Trim(name.substr(open + 1, close - open - 1));
  }
  return name.find('@') == std::string_view::npos ? "" : std::string(name);
}

std::string LookupPattern(std::string_view name) {
  std::string address = AddressOf(name);
  if (!address.empty()) return "<" + address + ">";
  name = Trim(name);
  return name.empty() ? "" : "*" + std::string(name);
}

std::string UserIdName(std::string_view userId) {
  std::string text = Unescape(userId);
  std::string_view view = Trim(text);
  if (!view.empty() && (view.front() == '<' || view.front() == '(')) return "";
  size_t cut = std::min(view.find(" <"), view.find(" ("));
  return std::string(Trim(view.substr(0, cut)));
}

std::string UserIdEmail(std::string_view userId) {
  std::string text = Unescape(userId);
  std::string_view view = Trim(text);
  size_t open = view.rfind('<');
  if (open == std::string_view::npos) {
    // A user id that is only an address, as GnuPG 2 makes for "--quick-gen-key bob@...".
    bool bare =
        view.find('@') != std::string_view::npos && view.find(' ') == std::string_view::npos;
    return bare ? std::string(view) : "";
  }
  size_t close = view.find('>', open);
  if (close == std::string_view::npos) return "";
  return std::string(Trim(view.substr(open + 1, close - open - 1)));
}

KeyMatch MatchKeys(std::string_view name, const std::vector<ListedKey>& keys) {
  const std::string address = AddressOf(name);
  const std::string_view wanted = Trim(name);
  KeyMatch match;
  if (wanted.empty()) return match;
  std::vector<KeyOffer> exact, partial;
  for (size_t k = 0; k < keys.size(); ++k) {
    const std::vector<std::string>& ids = keys[k].userIds;
    bool exactFound = false;
    bool partialFound = false;
    size_t partialId = 0;
    for (size_t u = 0; u < ids.size() && !exactFound; ++u) {
      if (!address.empty()) {
        exactFound = EqualIgnoringCase(UserIdEmail(ids[u]), address);
      } else {
        exactFound = EqualIgnoringCase(UserIdName(ids[u]), wanted);
        if (!exactFound && !partialFound && ContainsIgnoringCase(Unescape(ids[u]), wanted)) {
          partialFound = true;
          partialId = u;
        }
      }
      if (exactFound) exact.push_back({k, u});
    }
    if (!exactFound && partialFound) partial.push_back({k, partialId});
  }
  if (exact.size() == 1) {
    match.outcome = MatchOutcome::kExact;
    match.offers = exact;
  } else if (!exact.empty() || !partial.empty()) {
    match.outcome = MatchOutcome::kChoose;
    match.offers = exact.empty() ? partial : exact;
  }
  return match;
}

}  // namespace vp
