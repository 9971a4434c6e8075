// The dialog port over a real dialog window, and the script's actions on its controls.
#include "platform/win32/win_dialog.h"

#include <algorithm>
#include <cstdlib>

namespace vp::win32 {
namespace {

bool IsCheckKind(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kRadio;
}

bool IsButtonKind(ControlKind kind) {
  return IsCheckKind(kind) || kind == ControlKind::kPushButton ||
         kind == ControlKind::kDefPushButton;
}

std::string Id(int id) {
  return std::to_string(id);
}

}  // namespace

WinDialog::WinDialog(HWND window, const DialogTemplate& tpl, DialogProc proc, void* param,
                     uiscript::Transcript& log, bool modal)
    : window_(window),
      tpl_(tpl),
      proc_(proc),
      param_(param),
      log_(log),
      modal_(modal),
      title_(tpl.title ? tpl.title : "") {
  for (const ControlTemplate& c : tpl.controls)
    checks_.push_back(IsCheckKind(c.kind) ? IsDlgButtonChecked(window, c.id) == BST_CHECKED : -1);
}

WinDialog::~WinDialog() {
  for (HFONT font : fonts_) DeleteObject(font);
}

INT_PTR WinDialog::Open() {
  log_.Record(uiscript::Event("dialog-open").Number("id", tpl_.id).Text("title", title_));
  // Each picture with the size it was loaded at (0 by 0: it was not found). The dialog manager
  // makes the controls in the template's order, each below the ones before.
  HWND child = GetWindow(window_, GW_CHILD);
  for (const ControlTemplate& c : tpl_.controls) {
    if (!child) break;
    if (c.kind == ControlKind::kBitmap) {
      BITMAP size{};
      auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
      if (!bitmap || !GetObjectA(bitmap, sizeof size, &size)) size = BITMAP{};
      log_.Record(uiscript::Event("picture")
                      .Number("dialog", tpl_.id)
                      .Number("resource",
                              c.text && c.text[0] == '#' ? std::strtol(c.text + 1, nullptr, 10) : 0)
                      .Number("width", size.bmWidth)
                      .Number("height", size.bmHeight));
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  return proc_ ? proc_(*this, DialogMessage::kInit, 0, param_) : TRUE;
}

void WinDialog::Command(int id) {
  if (ended_) return;
  RecordChecks();
  log_.Record(
      uiscript::Event("command").Number("dialog", tpl_.id).Number("id", id).Text("by", source_));
  if (proc_) proc_(*this, DialogMessage::kCommand, id, param_);
}

const ControlTemplate* WinDialog::Find(int id) const {
  if (id == -1) return nullptr;
  for (const ControlTemplate& c : tpl_.controls)
    if (c.id == id) return &c;
  return nullptr;
}

uiscript::Event WinDialog::ControlEvent(const char* kind, int id) const {
  return uiscript::Event(kind).Number("dialog", tpl_.id).Number("id", id);
}

void WinDialog::RecordChecks() {
  for (int wanted : {0, 1}) {
    for (size_t i = 0; i < tpl_.controls.size(); ++i) {
      if (checks_[i] < 0) continue;
      int id = tpl_.controls[i].id;
      int now = IsDlgButtonChecked(window_, id) == BST_CHECKED ? 1 : 0;
      if (now != wanted || now == checks_[i]) continue;
      checks_[i] = now;
      log_.Record(ControlEvent("check", id).Flag("checked", now != 0));
    }
  }
}

void WinDialog::SetTitle(const std::string& text) {
  title_ = text;
  SetWindowTextA(window_, text.c_str());
  log_.Record(uiscript::Event("set-title").Number("dialog", tpl_.id).Text("text", text));
}

void WinDialog::SetText(int id, const std::string& text) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind == ControlKind::kListBox) return;
  SetDlgItemTextA(window_, id, text.c_str());
  uiscript::Event e = ControlEvent("set-text", id);
  // A password is never written anywhere, not even to the transcript.
  if (c->kind == ControlKind::kEdit && (c->style & kEditPassword))
    e.Number("length", static_cast<long long>(text.size()));
  else
    e.Text("text", text);
  log_.Record(e);
}

std::string WinDialog::Text(int id) {
  HWND item = Find(id) ? Item(id) : nullptr;
  return item ? WindowText(item) : std::string();
}

void WinDialog::SetCheck(int id, bool checked) {
  const ControlTemplate* c = Find(id);
  if (!c || !IsCheckKind(c->kind)) return;
  if (c->kind == ControlKind::kRadio && checked) {
    HWND self = Item(id);
    HWND other = self;
    while ((other = GetNextDlgGroupItem(window_, other, FALSE)) && other != self) {
      const ControlTemplate* o = Find(GetDlgCtrlID(other));
      if (o && o->kind == ControlKind::kRadio) CheckDlgButton(window_, o->id, BST_UNCHECKED);
    }
  }
  CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  RecordChecks();
}

bool WinDialog::IsChecked(int id) {
  return Find(id) && IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

bool WinDialog::IsMultiSelect(int id) const {
  const ControlTemplate* c = Find(id);
  return c && c->kind == ControlKind::kListBox &&
         (c->style & (kListMultipleSel | kListExtendedSel));
}

int WinDialog::ListAdd(int id, const std::string& text) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox) return -1;
  LRESULT index =
      SendDlgItemMessageA(window_, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) return -1;
  log_.Record(ControlEvent("list-add", id).Number("index", index).Text("text", text));
  return static_cast<int>(index);
}

void WinDialog::ListSetData(int id, int index, intptr_t data) {
  if (Find(id)) SendDlgItemMessageA(window_, id, LB_SETITEMDATA, index, data);
}

intptr_t WinDialog::ListData(int id, int index) {
  if (!Find(id) || index < 0 || index >= ListCount(id)) return -1;
  return SendDlgItemMessageA(window_, id, LB_GETITEMDATA, index, 0);
}

int WinDialog::ListCount(int id) {
  if (!Find(id)) return 0;
  LRESULT n = SendDlgItemMessageA(window_, id, LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

std::string WinDialog::ListText(int id, int index) {
  if (!Find(id) || index < 0 || index >= ListCount(id)) return {};
  LRESULT n = SendDlgItemMessageA(window_, id, LB_GETTEXTLEN, index, 0);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = SendDlgItemMessageA(window_, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

void WinDialog::ListSelect(int id, int index) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox || index < -1 || index >= ListCount(id)) return;
  if (IsMultiSelect(id)) {
    if (index == -1)
      SendDlgItemMessageA(window_, id, LB_SETSEL, FALSE, -1);
    else
      SendDlgItemMessageA(window_, id, LB_SETSEL, TRUE, index);
  } else {
    SendDlgItemMessageA(window_, id, LB_SETCURSEL, index, 0);
  }
  uiscript::Event e = ControlEvent("list-select", id).Number("index", index);
  if (index >= 0) e.Text("text", ListText(id, index));
  log_.Record(e.Flag("selected", ListIsSelected(id, index)));
}

int WinDialog::ListSelection(int id) {
  if (!Find(id)) return -1;
  if (!IsMultiSelect(id)) {
    LRESULT i = SendDlgItemMessageA(window_, id, LB_GETCURSEL, 0, 0);
    return i < 0 ? -1 : static_cast<int>(i);
  }
  for (int i = 0, n = ListCount(id); i < n; ++i)
    if (ListIsSelected(id, i)) return i;
  return -1;
}

bool WinDialog::ListIsSelected(int id, int index) {
  return Find(id) && index >= 0 && SendDlgItemMessageA(window_, id, LB_GETSEL, index, 0) > 0;
}

void WinDialog::Enable(int id, bool enabled) {
  HWND item = Find(id) ? Item(id) : nullptr;
  if (!item || (IsWindowEnabled(item) != FALSE) == enabled) return;
  EnableWindow(item, enabled);
  log_.Record(ControlEvent("enable", id).Flag("enabled", enabled));
}

void WinDialog::SetRange(int id, int low, int high) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kUpDown) return;
  SendDlgItemMessageA(window_, id, UDM_SETRANGE32, low, high);
  log_.Record(ControlEvent("range", id).Number("low", low).Number("high", high));
}

void WinDialog::Focus(int id) {
  HWND item = Find(id) ? Item(id) : nullptr;
  if (item) SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

void WinDialog::End(intptr_t result) {
  ended_ = true;
  result_ = result;
  if (modal_) EndDialog(window_, result);
}

void WinDialog::SetFontWeight(int id, int weight) {
  HWND item = Find(id) ? Item(id) : nullptr;
  if (!item) return;
  LOGFONTA font{};
  auto current = reinterpret_cast<HFONT>(SendMessageA(item, WM_GETFONT, 0, 0));
  if (!GetObjectA(current ? static_cast<HGDIOBJ>(current) : GetStockObject(DEFAULT_GUI_FONT),
                  sizeof font, &font))
    return;
  font.lfWeight = weight;
  HFONT made = CreateFontIndirectA(&font);
  if (!made) return;
  fonts_.push_back(made);
  SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
  log_.Record(ControlEvent("font", id).Number("weight", weight));
}

void WinDialog::UseWhiteBackground() {
  white_ = true;
  InvalidateRect(window_, nullptr, TRUE);
  log_.Record(uiscript::Event("background").Number("dialog", tpl_.id).Text("colour", "white"));
}

HBRUSH WinDialog::BackgroundBrush(HDC dc, bool forStatic) const {
  if (!white_) return nullptr;
  if (!forStatic) return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

int WinDialog::FirstListId() const {
  for (const ControlTemplate& c : tpl_.controls)
    if (c.kind == ControlKind::kListBox) return c.id;
  return -1;
}

void WinDialog::Press(int id, const char* source) {
  source_ = source;
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  source_ = "click";
}

std::string WinDialog::Click(int id) {
  const ControlTemplate* c = Find(id);
  if (!c) return "no control " + Id(id);
  if (!IsButtonKind(c->kind)) return "control " + Id(id) + " is not a button";
  if (!IsWindowEnabled(Item(id))) return "control " + Id(id) + " is disabled";
  // The button does what a mouse click does: takes the focus, toggles or selects itself, and
  // tells the dialog.
  SendDlgItemMessageA(window_, id, BM_CLICK, 0, 0);
  return {};
}

std::string WinDialog::SetChecked(int id, bool checked) {
  const ControlTemplate* c = Find(id);
  if (!c) return "no control " + Id(id);
  if (c->kind == ControlKind::kRadio && !checked)
    return "radio button " + Id(id) + " is cleared by choosing another";
  if (!IsCheckKind(c->kind)) return "control " + Id(id) + " is not a check box or radio button";
  if (IsChecked(id) == checked) return {};
  return Click(id);
}

std::string WinDialog::Type(int id, const std::string& text) {
  const ControlTemplate* c = Find(id);
  if (!c) return "no control " + Id(id);
  if (c->kind != ControlKind::kEdit) return "control " + Id(id) + " is not an edit";
  HWND item = Item(id);
  if (!IsWindowEnabled(item)) return "control " + Id(id) + " is disabled";
  LONG style = GetWindowLongA(item, GWL_STYLE);
  if (style & ES_READONLY) return "edit " + Id(id) + " is read-only";
  if ((style & ES_NUMBER) &&
      !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return "edit " + Id(id) + " takes digits only";
  Focus(id);
  SetText(id, text);
  return {};
}

std::string WinDialog::SelectIndex(int id, int index) {
  const ControlTemplate* c = Find(id);
  if (!c) return "no control " + Id(id);
  if (c->kind != ControlKind::kListBox) return "control " + Id(id) + " is not a list";
  if (!IsWindowEnabled(Item(id))) return "control " + Id(id) + " is disabled";
  if (index < 0 || index >= ListCount(id))
    return "list " + Id(id) + " has no item " + std::to_string(index);
  Focus(id);
  ListSelect(id, index);
  return {};
}

std::string WinDialog::SelectText(int id, const std::string& text) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox) return "no list " + Id(id);
  for (int i = 0, n = ListCount(id); i < n; ++i)
    if (ListText(id, i) == text) return SelectIndex(id, i);
  return "list " + Id(id) + " has no item \"" + text + "\"";
}

std::string WinDialog::UnselectAll(int id) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox) return "no list " + Id(id);
  if (!IsWindowEnabled(Item(id))) return "control " + Id(id) + " is disabled";
  ListSelect(id, -1);
  return {};
}

std::string WinDialog::Spin(int id, bool up) {
  const ControlTemplate* c = Find(id);
  if (!c || c->kind != ControlKind::kUpDown)
    return "control " + Id(id) + " is not an up-down control";
  HWND item = Item(id);
  if (!IsWindowEnabled(item)) return "control " + Id(id) + " is disabled";
  HWND buddy = reinterpret_cast<HWND>(SendMessageA(item, UDM_GETBUDDY, 0, 0));
  if (!buddy || !IsWindowEnabled(buddy))
    return "up-down control " + Id(id) + " has no enabled edit before it";
  int low = 0, high = 0;
  SendMessageA(item, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
               reinterpret_cast<LPARAM>(&high));
  // The control goes on from its buddy's number when that is one within the range.
  BOOL unreadable = FALSE;
  int position =
      static_cast<int>(SendMessageA(item, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&unreadable)));
  int step = (high >= low) == up ? 1 : -1;
  position = std::clamp(position + step, std::min(low, high), std::max(low, high));
  SendMessageA(item, UDM_SETPOS32, 0, position);
  SetText(GetDlgCtrlID(buddy), std::to_string(position));
  return {};
}

void WinDialog::PressEnter() {
  int id = kIdOk;
  for (const ControlTemplate& c : tpl_.controls) {
    if (c.kind == ControlKind::kDefPushButton) {
      id = c.id;
      break;
    }
  }
  HWND item = Item(id);
  if (Find(id) && item && !IsWindowEnabled(item)) return;
  Press(id, "enter");
}

void WinDialog::PressEscape() {
  HWND item = Find(kIdCancel) ? Item(kIdCancel) : nullptr;
  if (item && IsWindowEnabled(item)) Press(kIdCancel, "escape");
}

int WinDialog::PressClosingButton() {
  for (int id : uiscript::ClosingButtons(tpl_)) {
    HWND item = Find(id) ? Item(id) : nullptr;
    if (!item || !IsWindowEnabled(item)) continue;
    Press(id, "close");
    if (ended_) return id;
  }
  // A procedure that ignores every closing button must still not hold the caller forever.
  log_.Record(uiscript::Event("dialog-forced-close").Number("id", tpl_.id).Text("title", title_));
  End(kIdCancel);
  return -1;
}

}  // namespace vp::win32
