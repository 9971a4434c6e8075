// Building, reading and extending text lists in their canonical layout.
#include "notesemu/text_list.h"

#include "notesemu/status_codes.h"

namespace notesemu {

std::vector<uint8_t> BuildTextList(const std::vector<std::string>& entries, bool prefixed) {
  size_t size = (prefixed ? 2 : 0) + 2 + 2 * entries.size();
  for (const auto& e : entries) size += e.size();
  if (size > kMaxListBytes || entries.size() > 0xFFFF) return {};
  std::vector<uint8_t> out(size);
  uint8_t* p = out.data();
  if (prefixed) {
    PutU16(p, vp::kTypeTextList);
    p += 2;
  }
  PutU16(p, static_cast<uint16_t>(entries.size()));
  p += 2;
  for (const auto& e : entries) {
    PutU16(p, static_cast<uint16_t>(e.size()));
    p += 2;
  }
  for (const auto& e : entries) {
    std::copy(e.begin(), e.end(), p);
    p += e.size();
  }
  return out;
}

bool ParseTextList(const uint8_t* data, size_t size, bool prefixed,
                   std::vector<std::string_view>* entries) {
  entries->clear();
  size_t pos = prefixed ? 2 : 0;
  if (size < pos + 2) return false;
  if (prefixed && GetU16(data) != vp::kTypeTextList) return false;
  uint16_t count = GetU16(data + pos);
  pos += 2;
  if (size < pos + 2 * size_t{count}) return false;
  size_t text = pos + 2 * size_t{count};
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t len = GetU16(data + pos + 2 * i);
    if (text + len > size) return false;
    entries->emplace_back(reinterpret_cast<const char*>(data + text), len);
    text += len;
  }
  return true;
}

vp::NotesStatus InsertTextListEntry(std::vector<uint8_t>* list, bool prefixed, uint16_t index,
                                    std::string_view text) {
  std::vector<std::string_view> views;
  if (!ParseTextList(list->data(), list->size(), prefixed, &views)) return kErrNotTextList;
  if (index > views.size()) return kErrListIndex;
  std::vector<std::string> entries(views.begin(), views.end());
  entries.insert(entries.begin() + index, std::string(text));
  std::vector<uint8_t> rebuilt = BuildTextList(entries, prefixed);
  if (rebuilt.empty()) return kErrListFull;
  *list = std::move(rebuilt);
  return 0;
}

std::vector<uint8_t> TextValue(std::string_view text) {
  std::vector<uint8_t> value(2 + text.size());
  PutU16(value.data(), vp::kTypeText);
  std::copy(text.begin(), text.end(), value.begin() + 2);
  return value;
}

vp::NotesStatus ItemTextEntry(const std::vector<uint8_t>& value, size_t index,
                              std::string_view* entry, size_t* count) {
  if (count) *count = 0;
  if (value.size() < 2) return kErrListIndex;
  const char* bytes = reinterpret_cast<const char*>(value.data());
  uint16_t type = GetU16(value.data());
  if (type == vp::kTypeText) {
    if (count) *count = 1;
    if (index != 0) return kErrListIndex;
    if (entry) *entry = std::string_view(bytes + 2, value.size() - 2);
    return 0;
  }
  if (type != vp::kTypeTextList) return kErrListIndex;
  // The whole list is checked, so a damaged one is an error rather than fewer entries.
  if (value.size() < 4) return kErrNotTextList;
  size_t n = GetU16(value.data() + 2);
  size_t text = 4 + 2 * n;
  if (value.size() < text) return kErrNotTextList;
  size_t total = text;
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i == index) start = total;
    total += GetU16(value.data() + 4 + 2 * i);
  }
  if (total > value.size()) return kErrNotTextList;
  if (count) *count = n;
  if (index >= n) return kErrListIndex;
  if (entry) *entry = std::string_view(bytes + start, GetU16(value.data() + 4 + 2 * index));
  return 0;
}

std::vector<std::string> ItemTexts(const std::vector<uint8_t>& value) {
  if (value.size() < 2) return {};
  uint16_t type = GetU16(value.data());
  if (type == vp::kTypeText) return {std::string(value.begin() + 2, value.end())};
  std::vector<std::string_view> views;
  if (type != vp::kTypeTextList || !ParseTextList(value.data(), value.size(), true, &views)) {
    return {};
  }
  return std::vector<std::string>(views.begin(), views.end());
}

}  // namespace notesemu
