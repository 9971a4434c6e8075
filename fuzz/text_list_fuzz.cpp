// Text lists and item values: the list reader, the entry reader and insertion.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> value(data, data + size);
  for (bool prefixed : {false, true}) {
    std::vector<std::string_view> views;
    if (!notesemu::ParseTextList(data, size, prefixed, &views)) continue;
    // Rebuilding what was read gives a list that reads the same.
    const std::vector<std::string> entries(views.begin(), views.end());
    const std::vector<uint8_t> rebuilt = notesemu::BuildTextList(entries, prefixed);
    std::vector<std::string_view> again;
    FUZZ_CHECK(notesemu::ParseTextList(rebuilt.data(), rebuilt.size(), prefixed, &again));
    FUZZ_CHECK(std::vector<std::string>(again.begin(), again.end()) == entries);

    std::vector<uint8_t> list = value;
    const uint16_t index = static_cast<uint16_t>(views.size() / 2);
    if (notesemu::InsertTextListEntry(&list, prefixed, index, "inserted") == 0) {
      FUZZ_CHECK(notesemu::ParseTextList(list.data(), list.size(), prefixed, &again));
      FUZZ_CHECK(again.size() == entries.size() + 1 && again[index] == "inserted");
    }
  }

  // The entry reader agrees with the whole-value reader: same entries, or both see damage.
  const std::vector<std::string> texts = notesemu::ItemTexts(value);
  size_t count = 0;
  const vp::NotesStatus status = notesemu::ItemTextEntry(value, 0, nullptr, &count);
  if (status == notesemu::kErrNotTextList) {
    FUZZ_CHECK(texts.empty() && count == 0);
    return 0;
  }
  FUZZ_CHECK(count == texts.size());
  std::string_view entry;
  for (size_t i = 0; i < texts.size(); ++i) {
    FUZZ_CHECK(notesemu::ItemTextEntry(value, i, &entry, nullptr) == 0 && entry == texts[i]);
  }
  FUZZ_CHECK(notesemu::ItemTextEntry(value, texts.size(), &entry, nullptr) != 0);
  return 0;
}
