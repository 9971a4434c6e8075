// Rich-text records: walking a composite value and writing the hotspot-begin structure.
//
// A record starts with its signature byte; the next byte tells the header: 0xFF a word length
// follows (4-byte header), 0x00 a double-word length follows (6-byte header), anything else is
// the whole record's length itself (2-byte header). Lengths include the header; records are
// padded to even lengths. All numbers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/notes_api.h"

namespace notesemu {

constexpr uint16_t kCdHotspotBeginSize = 12;

// Walks the records of `data` (the value without its type word).
vp::NotesStatus WalkRecords(const uint8_t* data, size_t size, vp::RecordCallback callback,
                            void* context);

// Writes one hotspot-begin structure at *position and advances it; kErrStructureRoom when it
// would pass `end`.
vp::NotesStatus WriteHotspotBegin(uint8_t** position, const uint8_t* end,
                                  const vp::CdHotspotBegin& hotspot);

// Record signatures as WalkRecords reports them.
enum : uint16_t {
  kSigParagraph = 0x0081,
  kSigStyleDefinition = 0xFF82,
  kSigStyleReference = 0x0083,
  kSigText = 0xFF85,
  kSigHotspotBegin = 0xFFAD,
  kSigHotspotEnd = 0x00AE,
  kSigBegin = 0x00DD,
  kSigEnd = 0x00DE,
};

// Builds a rich-text value (without its type word) record by record, in canonical byte order,
// each record padded to an even length.
class RecordBuilder {
 public:
  RecordBuilder& Paragraph();
  // A paragraph style definition numbered `style`, with a left margin and justification.
  RecordBuilder& StyleDefinition(uint16_t style);
  RecordBuilder& StyleReference(uint16_t style);
  // A text run in font `font` (four bytes: face, attributes, size, colour).
  RecordBuilder& Text(uint32_t font, const std::string& text);
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void Pad();
  std::vector<uint8_t> bytes_;
};

// One line per record of `data`: signature, name, length, the bytes (a text run's text quoted);
// a damaged value ends with a line saying so. Each line starts with `indent`.
std::string DescribeRecords(const uint8_t* data, size_t size, const std::string& indent);

}  // namespace notesemu
