// Making the standard mail template and the subform database on real store files.
#include "notesemu/design_tools.h"

#include <filesystem>
#include <vector>

#include "notesemu/rich_text.h"
#include "notesemu/status_codes.h"
#include "notesemu/store_file.h"
#include "notesemu/text_list.h"

namespace notesemu {
namespace {

constexpr uint32_t kDefaultFont = 0x090A0001;  // face 1, size 10, colour 9
constexpr uint32_t kBoldFont = 0x090A0101;

Item TextItem(const std::string& name, const std::string& value, uint16_t flags = 0) {
  return Item{name, vp::kTypeText, flags, TextValue(value), 0};
}

Item RichTextItem(const std::string& name, const RecordBuilder& records) {
  std::vector<uint8_t> value(2);
  PutU16(value.data(), vp::kTypeComposite);
  value.insert(value.end(), records.Bytes().begin(), records.Bytes().end());
  return Item{name, vp::kTypeComposite, vp::kItemSign, std::move(value), 0};
}

NoteRecord Note(uint16_t noteClass, std::vector<Item> items) {
  NoteRecord note;
  note.noteClass = noteClass;
  note.items = std::move(items);
  return note;
}

// The opening of most form bodies: a paragraph in style 1, defined right there.
RecordBuilder StyleOneParagraph() {
  RecordBuilder b;
  b.Paragraph().StyleDefinition(1).StyleReference(1);
  return b;
}

std::string Create(const std::string& path, const std::string& info,
                   const std::vector<NoteRecord>& notes) {
  std::error_code ec;
  std::string file = std::filesystem::absolute(path, ec).string();
  if (ec) file = path;
  try {
    StoreFile::Create(file, info, [&](StoreFile& db) {
      Savepoint sp(db.Db());
      NoteRecord icon = Note(vp::kNoteClassIcon, {TextItem("$TITLE", info, vp::kItemSummary)});
      db.WriteNote(icon);
      for (const NoteRecord& note : notes) db.WriteNote(note);
      sp.Commit();
    });
    return "";
  } catch (const StoreFailure& failure) {
    return path + ": " + StatusText(failure.status);
  }
}

}  // namespace

std::string CreateMailTemplate(const std::string& path) {
  std::string info = std::string(kMailTemplateTitle) + "\n\n" + kMailTemplateName;
  RecordBuilder memoHead = StyleOneParagraph();
  memoHead.Text(kBoldFont, "To: ").Text(kDefaultFont, "SendTo");
  RecordBuilder memoBody = StyleOneParagraph();
  memoBody.Text(kDefaultFont, "Body");
  RecordBuilder reply;
  reply.Paragraph().StyleDefinition(2).StyleReference(2).Text(kBoldFont, "In reply to ");
  reply.Paragraph().StyleDefinition(1).StyleReference(1).Text(kDefaultFont, "Body");
  RecordBuilder history = StyleOneParagraph();
  history.Text(kDefaultFont, "Body").Paragraph().StyleReference(1).Text(kDefaultFont, "History");

  std::vector<NoteRecord> notes = {
      Note(vp::kNoteClassForm, {TextItem("$TITLE", "Memo|Memo", vp::kItemSummary),
                                RichTextItem("$Body", memoHead), RichTextItem("$Body", memoBody)}),
      Note(vp::kNoteClassForm,
           {TextItem("$TITLE", "Reply", vp::kItemSummary), RichTextItem("$Body", reply)}),
      Note(vp::kNoteClassForm, {TextItem("$TITLE", "Reply With History", vp::kItemSummary),
                                RichTextItem("$Body", history)}),
      Note(vp::kNoteClassView, {TextItem("$TITLE", "($Inbox)|Inbox", vp::kItemSummary),
                                TextItem("$FormulaClass", "1")}),
      Note(vp::kNoteClassField, {TextItem("$TITLE", "SendTo", vp::kItemSummary)}),
      Note(vp::kNoteClassDocument,
           {TextItem("Form", "CalendarProfile", vp::kItemSummary), TextItem("Owner", "")}),
  };
  return Create(path, info, notes);
}

std::string CreateSubformDatabase(const std::string& path, const std::string& script) {
  if (script.size() > 0xFFFF - 2) return path + ": the script is longer than one text item holds";
  RecordBuilder body = StyleOneParagraph();
  body.Text(kDefaultFont, "Veilpost");
  std::vector<NoteRecord> notes = {
      Note(vp::kNoteClassForm, {TextItem("$TITLE", kPluginSubformName, vp::kItemSummary),
                                TextItem("$Flags", "U", vp::kItemSummary),
                                RichTextItem("$Body", body), TextItem(kFormScriptItem, script)})};
  return Create(path, "Veilpost Plugin\n\nVeilpostPlugin", notes);
}

}  // namespace notesemu
