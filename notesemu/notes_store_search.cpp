// The store's formulas, searches, name abbreviation and name resolution.
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "notesemu/data_paths.h"
#include "notesemu/names.h"
#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {

vp::NotesStatus NotesStore::CompileFormula(const char* name, uint16_t nameLength, const char* text,
                                           uint16_t textLength, vp::MemHandle* formula,
                                           uint16_t* formulaLength, vp::FormulaError* error) {
  return Guarded([&]() -> vp::NotesStatus {
    (void)name;
    (void)nameLength;
    if (!text || !formula) return kErrInvalidArgument;
    *formula = 0;
    FaultPoint("CompileFormula", kErrNoMemory);
    std::unique_ptr<Formula> compiled;
    vp::NotesStatus status = Formula::Compile(std::string_view(text, textLength), &compiled, error);
    if (status) return status;
    MemBlock block;
    block.bytes.assign(text, text + textLength);
    block.formula = std::move(compiled);
    *formula = NewHandle();
    memory_[*formula] = std::move(block);
    if (formulaLength) *formulaLength = textLength;
    return 0;
  });
}

vp::NotesStatus NotesStore::Search(vp::DbHandle db, vp::MemHandle formula, uint16_t flags,
                                   uint16_t noteClassMask, vp::SearchCallback callback,
                                   void* context) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!callback || flags) return kErrInvalidArgument;
    StoreFile& file = Database(db);
    MemBlock& block = Memory(formula);
    if (!block.formula) return kErrNotFormula;
    FaultPoint("Search", kErrIo);
    const Formula& f = *block.formula;
    std::shared_ptr<const FieldSnapshot> notes = file.Fields(noteClassMask, f.Fields());
    for (const NoteFields& note : *notes) {
      vp::SearchMatch match{note.id, note.noteClass,
                            static_cast<uint8_t>(f.Selects(note.values) ? vp::kSearchMatch : 0)};
      vp::NotesStatus status = callback(context, match);
      if (status) return status;
    }
    return 0;
  });
}

vp::NotesStatus NotesStore::AbbreviateName(uint32_t flags, const char* templateName,
                                           const char* name, char* buffer, uint16_t size,
                                           uint16_t* length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !buffer || size == 0 || flags || templateName) return kErrInvalidArgument;
    buffer[0] = 0;
    if (length) *length = 0;
    FaultPoint("AbbreviateName", kErrNoMemory);
    std::string abbreviated = notesemu::AbbreviateName(name);
    if (abbreviated.size() > size - 1u) return kErrNameTooLong;
    std::memcpy(buffer, abbreviated.c_str(), abbreviated.size() + 1);
    if (length) *length = static_cast<uint16_t>(abbreviated.size());
    return 0;
  });
}

namespace {

// The first text of a field, "" when the note has none.
std::string FirstText(const std::vector<std::string>* values) {
  return values && !values->empty() ? (*values)[0] : std::string();
}

// Upper-case key -> canonical name, from the Person documents of a directory; the first
// document (by note id) that claims a key keeps it. A person is found as users type them: by
// each full name, its abbreviation and common name, a short name, the mail address, or
// "FirstName LastName".
std::unordered_map<std::string, std::string> PersonKeys(StoreFile& directory) {
  static const std::vector<std::string> kFields = {
      "FORM", "FULLNAME", "SHORTNAME", "INTERNETADDRESS", "FIRSTNAME", "LASTNAME"};
  std::unordered_map<std::string, std::string> keys;
  auto people = directory.Fields(vp::kNoteClassDocument, kFields);
  for (const NoteFields& note : *people) {
    const auto* form = note.values[0];
    const auto* full = note.values[1];
    if (!form || !full || full->empty() || form->empty() || UpperAscii((*form)[0]) != "PERSON") {
      continue;
    }
    const std::string& canonical = (*full)[0];
    auto claim = [&](const std::string& key) {
      if (!key.empty()) keys.emplace(UpperAscii(key), canonical);
    };
    for (const auto& f : *full) {
      claim(f);
      std::string abbreviated = notesemu::AbbreviateName(f);
      claim(abbreviated);
      if (IsCanonicalName(f)) claim(abbreviated.substr(0, abbreviated.find('/')));
    }
    for (int field : {2, 3}) {
      if (!note.values[field]) continue;
      for (const auto& v : *note.values[field]) claim(v);
    }
    std::string first = FirstText(note.values[4]);
    std::string last = FirstText(note.values[5]);
    claim(first.empty() || last.empty() ? first + last : first + " " + last);
  }
  return keys;
}

}  // namespace

vp::NotesStatus NotesStore::ResolveEnteredNames(vp::MemHandle typed, uint16_t typedSize,
                                                vp::MemHandle* resolved, uint16_t* resolvedSize,
                                                uint16_t flags, vp::MemHandle spare) {
  (void)typedSize;
  (void)flags;
  (void)spare;
  // The typed list is ours from here on, whatever happens.
  std::vector<uint8_t> typedBytes;
  auto it = memory_.find(typed);
  bool known = it != memory_.end() && !it->second.formula;
  if (known) {
    typedBytes = std::move(it->second.bytes);
    memory_.erase(it);
  }
  return Guarded([&]() -> vp::NotesStatus {
    if (!resolved) return kErrInvalidArgument;
    *resolved = 0;
    if (!known) return kErrInvalidHandle;
    FaultPoint("ResolveEnteredNames", kErrIo);
    std::vector<std::string_view> names;
    if (!ParseTextList(typedBytes.data(), typedBytes.size(), true, &names)) {
      return kErrNotTextList;
    }
    std::unordered_map<std::string, std::string> keys;
    std::error_code ec;
    if (std::filesystem::exists(LocalDirectoryFile(), ec)) {
      StoreFile directory(LocalDirectoryFile());
      keys = PersonKeys(directory);
    }
    std::vector<std::string> out;
    for (std::string_view name : names) {
      auto hit = keys.find(UpperAscii(name));
      out.push_back(hit != keys.end() ? hit->second : std::string(name));
    }
    MemBlock block;
    block.bytes = BuildTextList(out, true);
    if (block.bytes.empty()) return kErrListFull;
    *resolved = NewHandle();
    if (resolvedSize) *resolvedSize = static_cast<uint16_t>(block.bytes.size());
    memory_[*resolved] = std::move(block);
    return 0;
  });
}

}  // namespace notesemu
