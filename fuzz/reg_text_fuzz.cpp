// The .reg reader and writer: any text parses, and what is written reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/reg_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const vp::RegDocument doc = vp::ParseRegText(text);
  std::string bytes;
  for (const vp::RegSection& section : doc.sections) {
    for (const vp::RegEntry& entry : section.entries) vp::RegValueBytes(entry, &bytes);
  }
  const std::string formatted = vp::FormatRegText(doc);
  FUZZ_CHECK(vp::FormatRegText(vp::ParseRegText(formatted)) == formatted);

  const std::string quoted = vp::QuoteRegString(text);
  std::string unquoted;
  size_t consumed = 0;
  FUZZ_CHECK(vp::UnquoteRegString(quoted, &unquoted, &consumed));
  FUZZ_CHECK(unquoted == text && consumed == quoted.size());
  return 0;
}
