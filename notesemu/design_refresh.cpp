// The design refresh on real store files.
#include "notesemu/design_refresh.h"

#include <filesystem>
#include <memory>

#include "notesemu/db_info.h"
#include "notesemu/names.h"
#include "notesemu/status_codes.h"
#include "notesemu/store_file.h"
#include "platform/faults.h"

namespace notesemu {

vp::NotesStatus RefreshDesign(const std::string& targetPath) {
  try {
    if (vp::FaultHit("notes.DesignRefresh")) return kErrIo;
    StoreFile target(targetPath);
    std::string inherits = UpperAscii(InfoField(target.Info(), vp::kInfoInheritsFrom));
    if (inherits.empty()) return kErrNoTemplate;
    std::filesystem::path folder = std::filesystem::path(target.Path()).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      std::string ext = UpperAscii(entry.path().extension().string());
      if (!entry.is_regular_file(ec) || (ext != ".NSF" && ext != ".NTF")) continue;
      if (std::filesystem::equivalent(entry.path(), target.Path(), ec)) continue;
      std::unique_ptr<StoreFile> source;
      try {
        source = std::make_unique<StoreFile>(entry.path().string());
      } catch (const StoreFailure&) {
        continue;  // not a database of ours
      }
      if (UpperAscii(InfoField(source->Info(), vp::kInfoTemplateName)) != inherits) continue;
      Savepoint sp(target.Db());
      for (const auto& [id, cls] : target.ListNotes(kDesignClasses)) target.DeleteNote(id);
      for (const auto& [id, cls] : source->ListNotes(kDesignClasses)) {
        NoteRecord note;
        if (!source->ReadNote(id, &note)) continue;
        note.id = 0;
        target.WriteNote(note);
      }
      sp.Commit();
      return 0;
    }
    return kErrTemplateNotFound;
  } catch (const StoreFailure& failure) {
    return failure.status;
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

}  // namespace notesemu
