// Placing the plug-in's subform at the top of a form's body: the form's rich-text "$Body" items
// are rewritten record by record, and the subform block follows each item's first paragraph,
// style definition, reference-to-style-1 sequence.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/notes_api.h"

namespace vp {

// The subform the block names.
constexpr const char* kPluginSubform = "Veilpost Plugin";
// Room for one rewritten body item.
constexpr size_t kBodyRewriteSize = 65406;

// Rewrites every "$Body" item of form `formName` in `db` (in order) with the subform block
// inserted, and saves the form. Shows its own message on failure and returns the failing status:
// a Notes error ("Notes error: %s" naming the form), or kNotesBodyTooLarge after "... is too
// large ..." when a rewritten item would exceed kBodyRewriteSize (the form is then not saved).
NotesStatus InsertPluginSubform(DbHandle db, const char* formName);

// The status InsertPluginSubform returns for a body item that would not fit.
constexpr NotesStatus kNotesBodyTooLarge = 0xFFFF;

// The rewrite of one body item, for the record walk: the bytes so far and the matcher.
struct BodyRewrite {
  uint8_t* buffer = nullptr;        // kBodyRewriteSize bytes, zero-filled
  size_t used = 0;                  // the write position
  int state = 0;                    // 0..3 looking for the sequence, -1 once the block is in
  bool overflow = false;            // a record or the block did not fit; later records are dropped
  NotesStatus structureStatus = 0;  // a failed *write structure* of the hotspot
};

// The record callback: copies the record (padded to even length), runs the matcher and appends
// the subform block after a paragraph / style definition / reference to style 1 sequence.
NotesStatus RewriteRecord(const uint8_t* record, uint16_t signature, uint32_t length,
                          void* context);

}  // namespace vp
