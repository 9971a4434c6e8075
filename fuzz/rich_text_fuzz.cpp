// The rich-text record walker: every record it reports lies inside the value.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "notesemu/rich_text.h"

namespace {

struct Bounds {
  const uint8_t* begin;
  const uint8_t* end;
};

vp::NotesStatus Check(const uint8_t* record, uint16_t, uint32_t length, void* context) {
  const Bounds& bounds = *static_cast<const Bounds*>(context);
  FUZZ_CHECK(record >= bounds.begin && length >= 2);
  FUZZ_CHECK(length <= static_cast<size_t>(bounds.end - record));
  uint8_t sum = 0;  // reading the whole record lets the address sanitizer check it too
  for (uint32_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + record[i]);
  return sum == 0 && length == 0xFFFF ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bounds bounds{data, data + size};
  notesemu::WalkRecords(data, size, Check, &bounds);
  return 0;
}
