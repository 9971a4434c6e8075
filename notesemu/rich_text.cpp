// The record walker and the canonical writer of the hotspot-begin structure.
#include "notesemu/rich_text.h"

#include <algorithm>
#include <cstdio>

#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {

vp::NotesStatus WalkRecords(const uint8_t* data, size_t size, vp::RecordCallback callback,
                            void* context) {
  size_t pos = 0;
  while (pos < size) {
    if (size - pos < 2) return kErrRichText;
    const uint8_t* rec = data + pos;
    uint16_t signature;
    size_t header;
    uint32_t length;
    if (rec[1] == 0xFF) {
      header = 4;
      if (size - pos < header) return kErrRichText;
      signature = static_cast<uint16_t>(0xFF00 | rec[0]);
      length = GetU16(rec + 2);
    } else if (rec[1] == 0x00) {
      header = 6;
      if (size - pos < header) return kErrRichText;
      signature = rec[0];
      length = GetU32(rec + 2);
    } else {
      header = 2;
      signature = rec[0];
      length = rec[1];
    }
    if (length < header || length > size - pos) return kErrRichText;
    vp::NotesStatus status = callback(rec, signature, length, context);
    if (status) return status;
    pos += length + (length & 1);
  }
  return 0;
}

vp::NotesStatus WriteHotspotBegin(uint8_t** position, const uint8_t* end,
                                  const vp::CdHotspotBegin& hotspot) {
  uint8_t* p = *position;
  if (end < p || static_cast<size_t>(end - p) < kCdHotspotBeginSize) return kErrStructureRoom;
  PutU16(p, hotspot.signature);
  PutU16(p + 2, hotspot.length);
  PutU16(p + 4, hotspot.type);
  PutU32(p + 6, hotspot.flags);
  PutU16(p + 10, hotspot.dataLength);
  *position = p + kCdHotspotBeginSize;
  return 0;
}

}  // namespace notesemu

namespace notesemu {
namespace {

void PutWord(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

const char* RecordName(uint16_t signature) {
  switch (signature) {
    case kSigParagraph:
      return "paragraph";
    case kSigStyleDefinition:
      return "style definition";
    case kSigStyleReference:
      return "style reference";
    case kSigText:
      return "text";
    case kSigHotspotBegin:
      return "hotspot";
    case kSigHotspotEnd:
      return "hotspot end";
    case kSigBegin:
      return "begin";
    case kSigEnd:
      return "end";
    default:
      return "record";
  }
}

struct Describer {
  std::string indent;
  std::string out;
};

vp::NotesStatus DescribeOne(const uint8_t* rec, uint16_t signature, uint32_t length, void* ctx) {
  auto* d = static_cast<Describer*>(ctx);
  char head[64];
  std::snprintf(head, sizeof head, "%04X %s, %u bytes:", signature, RecordName(signature), length);
  d->out += d->indent + head;
  size_t shown = signature == kSigText && length >= 8 ? 8 : std::min<uint32_t>(length, 64);
  for (size_t i = 0; i < shown; ++i) {
    std::snprintf(head, sizeof head, " %02X", rec[i]);
    d->out += head;
  }
  if (signature == kSigText && length > 8) {
    d->out += " \"";
    for (uint32_t i = 8; i < length; ++i) {
      unsigned char c = rec[i];
      if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
        d->out.push_back(static_cast<char>(c));
      } else {
        std::snprintf(head, sizeof head, "\\x%02X", c);
        d->out += head;
      }
    }
    d->out += "\"";
  } else if (shown < length) {
    d->out += " ...";
  }
  d->out += "\n";
  return 0;
}

}  // namespace

RecordBuilder& RecordBuilder::Paragraph() {
  bytes_.insert(bytes_.end(), {0x81, 0x02});
  return *this;
}

RecordBuilder& RecordBuilder::StyleDefinition(uint16_t style) {
  bytes_.insert(bytes_.end(), {0x82, 0xFF});
  PutWord(&bytes_, 16);
  PutWord(&bytes_, style);
  PutWord(&bytes_, 0);     // justification: left
  PutWord(&bytes_, 1440);  // left margin, twips
  PutWord(&bytes_, 0);     // first-line indent
  PutWord(&bytes_, 0);     // right margin
  PutWord(&bytes_, 0);     // flags
  return *this;
}

RecordBuilder& RecordBuilder::StyleReference(uint16_t style) {
  bytes_.insert(bytes_.end(), {0x83, 0x04});
  PutWord(&bytes_, style);
  return *this;
}

RecordBuilder& RecordBuilder::Text(uint32_t font, const std::string& text) {
  bytes_.insert(bytes_.end(), {0x85, 0xFF});
  PutWord(&bytes_, static_cast<uint16_t>(8 + text.size()));
  PutWord(&bytes_, static_cast<uint16_t>(font));
  PutWord(&bytes_, static_cast<uint16_t>(font >> 16));
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  Pad();
  return *this;
}

void RecordBuilder::Pad() {
  if (bytes_.size() & 1) bytes_.push_back(0);
}

std::string DescribeRecords(const uint8_t* data, size_t size, const std::string& indent) {
  Describer d{indent, ""};
  if (WalkRecords(data, size, DescribeOne, &d)) d.out += indent + "(damaged record)\n";
  return d.out;
}

}  // namespace notesemu
