// nnotes.dll: selection formulas and the search that applies one to every note of a database.
#include <cstring>

#include "notesemu/nnotes/win_entry.h"

using namespace nnotes;

namespace {

// The Notes API's search match record, as the port reads it: the note id inside the global
// instance id, the note class after the originator id, then the flags byte.
constexpr size_t kMatchNoteIdOffset = 16;
constexpr size_t kMatchClassOffset = 48;
constexpr size_t kMatchFlagsOffset = 50;
constexpr size_t kMatchSize = 54;  // the summary length word closes it

using SearchCallback = Status(NNOTES_CALL*)(void* param, const void* match, void* summary);

struct Search {
  SearchCallback callback;
  void* param;
};

vp::NotesStatus ForwardMatch(void* context, const vp::SearchMatch& match) {
  auto* search = static_cast<Search*>(context);
  unsigned char record[kMatchSize] = {};
  std::memcpy(record + kMatchNoteIdOffset, &match.id, sizeof match.id);
  std::memcpy(record + kMatchClassOffset, &match.noteClass, sizeof match.noteClass);
  record[kMatchFlagsOffset] = match.flags;
  return search->callback(search->param, record, nullptr);
}

}  // namespace

extern "C" {

Status NNOTES_CALL NSFFormulaCompile(const char* name, Word nameLength, const char* text,
                                     Word textLength, Dword* formula, Word* formulaLength,
                                     Status* errorStatus, Word* line, Word* column, Word* offset,
                                     Word* length) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    vp::FormulaError error;
    vp::MemHandle handle = 0;
    uint16_t size = 0;
    Status status =
        Store().CompileFormula(name, nameLength, text, textLength, &handle, &size, &error);
    if (formula) *formula = handle;
    if (formulaLength) *formulaLength = size;
    if (errorStatus) *errorStatus = error.status;
    if (line) *line = error.line;
    if (column) *column = error.column;
    if (offset) *offset = error.offset;
    if (length) *length = error.length;
    return status;
  });
}

// The view title, the "since" time and the "until" time are not used; every note of the
// classes is reported, with the match flag where the formula selects it.
Status NNOTES_CALL NSFSearch(Dword db, Dword formula, const char*, Word flags, Word classMask,
                             void*, SearchCallback callback, void* param, void*) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    if (!callback) return Status{notesemu::kErrInvalidArgument};
    Search search{callback, param};
    return Store().Search(db, formula, flags, classMask, &ForwardMatch, &search);
  });
}

}  // extern "C"
