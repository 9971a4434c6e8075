// Inserting the subform block into a form's body items.
#include "hooklib/notesdb/plugin_subform.h"

#include <cstring>
#include <memory>

#include "hooklib/core/messages.h"
#include "hooklib/notesdb/notes_error.h"
#include "hooklib/notesdb/notes_handles.h"

namespace vp {
namespace {

constexpr uint16_t kExpected[3] = {0x0081, 0xFF82, 0x0083};
constexpr uint16_t kHotspotSubform = 14;
constexpr uint32_t kHotspotFlags = 0x30010009;

bool Append(BodyRewrite* r, const void* bytes, size_t n) {
  if (r->overflow || n > kBodyRewriteSize - r->used) {
    r->overflow = true;
    return false;
  }
  std::memcpy(r->buffer + r->used, bytes, n);
  r->used += n;
  return true;
}

void PadToEven(BodyRewrite* r) {
  if (r->used & 1) Append(r, "", 1);
}

// A text run between framing records, with no text in it.
void AppendEmptyRun(BodyRewrite* r) {
  static const uint8_t kRun[] = {0xDD, 0x06, 0x00, 0x00, 0x85, 0xFF,              // begin
                                 0x85, 0xFF, 0x08, 0x00, 0x01, 0x00, 0x0E, 0x09,  // text run
                                 0xD2, 0x08, 0x01, 0x00, 0x80, 0x80, 0x80, 0x00,  // 0xD2
                                 0xDE, 0x06, 0x00, 0x00, 0x85, 0xFF};             // end
  Append(r, kRun, sizeof kRun);
}

void AppendSubformBlock(BodyRewrite* r) {
  AppendEmptyRun(r);
  static const uint8_t kHotspotOpen[] = {0xDD, 0x06, 0x00, 0x00, 0xAD, 0xFF};
  Append(r, kHotspotOpen, sizeof kHotspotOpen);

  uint16_t size = 0;
  NotesStatus status = Notes().StructureSize(kCdHotspotBeginType, &size);
  const uint16_t nameBytes = static_cast<uint16_t>(std::strlen(kPluginSubform) + 1);
  CdHotspotBegin hotspot;
  hotspot.signature = 0xFFAD;
  hotspot.length = static_cast<uint16_t>(size + nameBytes);
  hotspot.type = kHotspotSubform;
  hotspot.flags = kHotspotFlags;
  hotspot.dataLength = nameBytes;
  if (!status && !r->overflow) {
    uint8_t* position = r->buffer + r->used;
    status = Notes().WriteStructure(&position, r->buffer + kBodyRewriteSize, kCdHotspotBeginType,
                                    &hotspot, 1);
    if (!status) r->used = static_cast<size_t>(position - r->buffer);
  }
  if (status) {
    r->structureStatus = status;
    r->overflow = true;
    return;
  }
  Append(r, kPluginSubform, nameBytes);
  PadToEven(r);

  static const uint8_t kHotspotClose[] = {0xAE, 0x02, 0xDE, 0x06, 0x00, 0x00, 0xAE, 0x00};
  Append(r, kHotspotClose, sizeof kHotspotClose);
  AppendEmptyRun(r);
  static const uint8_t kNewParagraph[] = {0x81, 0x02, 0x83, 0x04, 0x01, 0x00};
  Append(r, kNewParagraph, sizeof kNewParagraph);
}

}  // namespace

NotesStatus RewriteRecord(const uint8_t* record, uint16_t signature, uint32_t length,
                          void* context) {
  auto* r = static_cast<BodyRewrite*>(context);
  Append(r, record, length);
  PadToEven(r);
  if (r->state != -1) {
    if (r->state < 3 && signature == kExpected[r->state]) {
      ++r->state;
    } else {
      r->state = 0;
    }
    if (r->state == 3 && length > 2 && record[2] == 1) {
      AppendSubformBlock(r);
      r->state = -1;
    }
  }
  return 0;
}

NotesStatus InsertPluginSubform(DbHandle db, const char* formName) {
  NotesApi& notes = Notes();
  auto fail = [&](NotesStatus status) {
    ShowNotesError(status, "changing the form", formName);
    return status;
  };
  NoteId id = 0;
  NoteScope form, copy;
  if (NotesStatus s = notes.FindDesignNote(db, formName, kNoteClassForm, &id)) return fail(s);
  if (NotesStatus s = notes.OpenNote(db, id, 0, &form.handle)) return fail(s);
  // The copy keeps the body items as they were while the form's are replaced.
  if (NotesStatus s = notes.CopyNote(form.handle, &copy.handle)) return fail(s);
  if (NotesStatus s = notes.DeleteItem(form.handle, "$Body")) return fail(s);

  BlockId item, value;
  uint32_t length = 0;
  NotesStatus status = notes.ItemInfo(copy.handle, "$Body", &item, nullptr, &value, &length);
  while (status == 0) {
    auto buffer = std::make_unique<uint8_t[]>(kBodyRewriteSize);  // zero-filled
    BodyRewrite rewrite;
    rewrite.buffer = buffer.get();
    notes.EnumerateRecords(value, length, &RewriteRecord, &rewrite);  // a damaged tail is dropped
    if (rewrite.structureStatus) return fail(rewrite.structureStatus);
    if (rewrite.overflow) {
      ShowError("The body of the form '%s' is too large to take the subform.", formName);
      return kNotesBodyTooLarge;
    }
    if (NotesStatus s = notes.AppendItem(form.handle, kItemSign, "$Body", kTypeComposite,
                                         rewrite.buffer, static_cast<uint32_t>(rewrite.used)))
      return fail(s);
    status = notes.ItemInfoNext(copy.handle, item, "$Body", &item, nullptr, &value, &length);
  }
  if (status != kNotesItemNotFound) return fail(status);
  if (NotesStatus s = notes.UpdateNote(form.handle, 0)) return fail(s);
  return 0;
}

}  // namespace vp
