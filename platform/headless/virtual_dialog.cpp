// The virtual dialog: controls, their Win32 behaviour, and the user's actions on them.
#include "platform/headless/virtual_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/headless/window_table.h"

namespace vp::headless {
namespace {

constexpr const char* kDialogClass = "#32770";

// MS Sans Serif 8 base units: four horizontal and eight vertical dialog units per character cell.
int DialogUnitsToPixelsX(int x) {
  return x * 6 / 4;
}
int DialogUnitsToPixelsY(int y) {
  return y * 13 / 8;
}

const char* SourceName(CommandSource source) {
  switch (source) {
    case CommandSource::kClick:
      return "click";
    case CommandSource::kEnter:
      return "enter";
    case CommandSource::kEscape:
      return "escape";
    case CommandSource::kClose:
      return "close";
  }
  return "click";
}

}  // namespace

VirtualDialog::VirtualDialog(const DialogTemplate& tpl, DialogProc proc, void* param,
                             Transcript& log)
    : tpl_(tpl), proc_(proc), param_(param), log_(log), title_(tpl.title ? tpl.title : "") {
  for (const ControlTemplate& c : tpl.controls)
    controls_.push_back(
        {c.id, c.kind, c.style, c.text ? c.text : "", (c.style & kStyleDisabled) == 0, false, {}});
}

VirtualDialog::~VirtualDialog() {
  UnregisterWindow(window_);
}

void VirtualDialog::Open() {
  Rect rect{0, 0, DialogUnitsToPixelsX(tpl_.w), DialogUnitsToPixelsY(tpl_.h)};
  window_ = RegisterWindow(kDialogClass, title_.c_str(), rect);
  log_.Record(Event("dialog-open").Number("id", tpl_.id).Text("title", title_));
  // Pictures are told by their resource numbers; there is nothing here to draw them on.
  for (const Control& c : controls_)
    if (c.kind == ControlKind::kBitmap && c.text.size() > 1 && c.text[0] == '#')
      log_.Record(Event("picture")
                      .Number("dialog", tpl_.id)
                      .Number("resource", std::strtol(c.text.c_str() + 1, nullptr, 10)));
  intptr_t placeFocus = proc_ ? proc_(*this, DialogMessage::kInit, 0, param_) : 1;
  if (placeFocus) {
    for (const Control& c : controls_) {
      if (c.enabled && (c.style & kStyleTabStop)) {
        focus_ = c.id;
        break;
      }
    }
  }
}

Control* VirtualDialog::FindMutable(int id) {
  for (Control& c : controls_)
    if (c.id == id && id != -1) return &c;
  return nullptr;
}

const Control* VirtualDialog::Find(int id) const {
  return const_cast<VirtualDialog*>(this)->FindMutable(id);
}

Event VirtualDialog::ControlEvent(const char* kind, const Control& c) const {
  return Event(kind).Number("dialog", tpl_.id).Number("id", c.id);
}

void VirtualDialog::SetTitle(const std::string& text) {
  title_ = text;
  SetWindowTitle(window_, text.c_str());
  log_.Record(Event("set-title").Number("dialog", tpl_.id).Text("text", text));
}

void VirtualDialog::SetText(int id, const std::string& text) {
  Control* c = FindMutable(id);
  if (!c || c->kind == ControlKind::kListBox) return;
  c->text = text;
  Event e = ControlEvent("set-text", *c);
  // A password is never written anywhere, not even to the transcript.
  if (c->IsPassword())
    e.Number("length", static_cast<long long>(text.size()));
  else
    e.Text("text", text);
  log_.Record(e);
}

std::string VirtualDialog::Text(int id) {
  const Control* c = Find(id);
  return c ? c->text : std::string();
}

void VirtualDialog::RecordCheck(const Control& c) {
  log_.Record(ControlEvent("check", c).Flag("checked", c.checked));
}

void VirtualDialog::SelectRadio(size_t index) {
  // The group runs from the nearest control at or before `index` that starts one (group style,
  // or the dialog's first radio button) up to the next control with the group style.
  size_t start = 0, end = controls_.size();
  for (size_t j = index + 1; j-- > 0;) {
    if (controls_[j].style & kStyleGroup) {
      start = j;
      break;
    }
  }
  for (size_t j = 0; j <= index; ++j) {
    if (controls_[j].kind == ControlKind::kRadio) {
      start = std::max(start, j);
      break;
    }
  }
  for (size_t k = index + 1; k < controls_.size(); ++k) {
    if (controls_[k].style & kStyleGroup) {
      end = k;
      break;
    }
  }
  for (size_t j = start; j < end; ++j) {
    Control& other = controls_[j];
    if (j != index && other.kind == ControlKind::kRadio && other.checked) {
      other.checked = false;
      RecordCheck(other);
    }
  }
  if (!controls_[index].checked) {
    controls_[index].checked = true;
    RecordCheck(controls_[index]);
  }
}

void VirtualDialog::SetCheck(int id, bool checked) {
  Control* c = FindMutable(id);
  if (!c || (c->kind != ControlKind::kCheckBox && c->kind != ControlKind::kRadio)) return;
  if (c->kind == ControlKind::kRadio && checked) {
    SelectRadio(static_cast<size_t>(c - controls_.data()));
    return;
  }
  if (c->checked == checked) return;
  c->checked = checked;
  RecordCheck(*c);
}

bool VirtualDialog::IsChecked(int id) {
  const Control* c = Find(id);
  return c && c->checked;
}

int VirtualDialog::ListAdd(int id, const std::string& text) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::kListBox) return -1;
  auto at = c->items.end();
  // Sorted lists ignore case, as the system's sorted list box does; a text equal to ones
  // already there goes after them.
  if (c->style & kListSort)
    at = std::upper_bound(
        c->items.begin(), c->items.end(), text, [](const std::string& t, const ListItem& item) {
          return std::lexicographical_compare(
              t.begin(), t.end(), item.text.begin(), item.text.end(),
              [](unsigned char a, unsigned char b) { return std::tolower(a) < std::tolower(b); });
        });
  int index = static_cast<int>(at - c->items.begin());
  c->items.insert(at, ListItem{text, 0, false});
  log_.Record(ControlEvent("list-add", *c).Number("index", index).Text("text", text));
  return index;
}

void VirtualDialog::ListSetData(int id, int index, intptr_t data) {
  Control* c = FindMutable(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
  c->items[index].data = data;
}

intptr_t VirtualDialog::ListData(int id, int index) {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  return c->items[index].data;
}

int VirtualDialog::ListCount(int id) {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::string VirtualDialog::ListText(int id, int index) {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index].text;
}

void VirtualDialog::RecordSelection(const Control& c, int index) {
  Event e = ControlEvent("list-select", c).Number("index", index);
  if (index >= 0) e.Text("text", c.items[index].text);
  log_.Record(e.Flag("selected", index >= 0 && c.items[index].selected));
}

void VirtualDialog::ListSelect(int id, int index) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::kListBox) return;
  if (index < -1 || index >= static_cast<int>(c->items.size())) return;
  if (index == -1 || !c->IsMultiSelect()) {
    for (ListItem& item : c->items) item.selected = false;
  }
  if (index >= 0) c->items[index].selected = true;
  RecordSelection(*c, index);
}

int VirtualDialog::ListSelection(int id) {
  const Control* c = Find(id);
  if (!c) return -1;
  for (size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i].selected) return static_cast<int>(i);
  return -1;
}

bool VirtualDialog::ListIsSelected(int id, int index) {
  const Control* c = Find(id);
  return c && index >= 0 && index < static_cast<int>(c->items.size()) && c->items[index].selected;
}

void VirtualDialog::Enable(int id, bool enabled) {
  Control* c = FindMutable(id);
  if (!c || c->enabled == enabled) return;
  c->enabled = enabled;
  log_.Record(ControlEvent("enable", *c).Flag("enabled", enabled));
}

void VirtualDialog::SetRange(int id, int low, int high) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::kUpDown) return;
  c->low = low;
  c->high = high;
  c->position = std::clamp(c->position, std::min(low, high), std::max(low, high));
  log_.Record(ControlEvent("range", *c).Number("low", low).Number("high", high));
}

void VirtualDialog::Focus(int id) {
  if (Find(id)) focus_ = id;
}

void VirtualDialog::End(intptr_t result) {
  ended_ = true;
  result_ = result;
}

void VirtualDialog::SetFontWeight(int id, int weight) {
  Control* c = FindMutable(id);
  if (!c) return;
  c->weight = weight;
  log_.Record(ControlEvent("font", *c).Number("weight", weight));
}

void VirtualDialog::UseWhiteBackground() {
  white_ = true;
  log_.Record(Event("background").Number("dialog", tpl_.id).Text("colour", "white"));
}

int VirtualDialog::DefaultButtonId() const {
  for (const Control& c : controls_)
    if (c.kind == ControlKind::kDefPushButton) return c.id;
  return kIdOk;
}

int VirtualDialog::FirstListId() const {
  for (const Control& c : controls_)
    if (c.kind == ControlKind::kListBox) return c.id;
  return -1;
}

void VirtualDialog::Command(int id, CommandSource source) {
  if (ended_) return;
  log_.Record(
      Event("command").Number("dialog", tpl_.id).Number("id", id).Text("by", SourceName(source)));
  if (proc_) proc_(*this, DialogMessage::kCommand, id, param_);
}

std::string VirtualDialog::Click(int id) {
  Control* c = FindMutable(id);
  if (!c) return "no control " + std::to_string(id);
  if (!c->IsButton()) return "control " + std::to_string(id) + " is not a button";
  if (!c->enabled) return "control " + std::to_string(id) + " is disabled";
  if (c->kind == ControlKind::kCheckBox) {
    c->checked = !c->checked;
    RecordCheck(*c);
  } else if (c->kind == ControlKind::kRadio) {
    SelectRadio(static_cast<size_t>(c - controls_.data()));
  }
  focus_ = id;
  Command(id, CommandSource::kClick);
  return {};
}

std::string VirtualDialog::SetChecked(int id, bool checked) {
  const Control* c = Find(id);
  if (!c) return "no control " + std::to_string(id);
  if (c->kind == ControlKind::kRadio && !checked)
    return "radio button " + std::to_string(id) + " is cleared by choosing another";
  if (c->kind != ControlKind::kCheckBox && c->kind != ControlKind::kRadio)
    return "control " + std::to_string(id) + " is not a check box or radio button";
  if (c->checked == checked) return {};
  return Click(id);
}

std::string VirtualDialog::Type(int id, const std::string& text) {
  Control* c = FindMutable(id);
  if (!c) return "no control " + std::to_string(id);
  if (c->kind != ControlKind::kEdit) return "control " + std::to_string(id) + " is not an edit";
  if (!c->enabled) return "control " + std::to_string(id) + " is disabled";
  if (c->IsReadOnly()) return "edit " + std::to_string(id) + " is read-only";
  if ((c->style & kEditNumber) &&
      !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return "edit " + std::to_string(id) + " takes digits only";
  focus_ = id;
  SetText(id, text);
  return {};
}

std::string VirtualDialog::SelectIndex(int id, int index) {
  const Control* c = Find(id);
  if (!c) return "no control " + std::to_string(id);
  if (c->kind != ControlKind::kListBox) return "control " + std::to_string(id) + " is not a list";
  if (!c->enabled) return "control " + std::to_string(id) + " is disabled";
  if (index < 0 || index >= static_cast<int>(c->items.size()))
    return "list " + std::to_string(id) + " has no item " + std::to_string(index);
  focus_ = id;
  ListSelect(id, index);
  return {};
}

std::string VirtualDialog::SelectText(int id, const std::string& text) {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox) return "no list " + std::to_string(id);
  for (size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i].text == text) return SelectIndex(id, static_cast<int>(i));
  return "list " + std::to_string(id) + " has no item \"" + text + "\"";
}

std::string VirtualDialog::UnselectAll(int id) {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::kListBox) return "no list " + std::to_string(id);
  if (!c->enabled) return "control " + std::to_string(id) + " is disabled";
  ListSelect(id, -1);
  return {};
}

std::string VirtualDialog::Spin(int id, bool up) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::kUpDown)
    return "control " + std::to_string(id) + " is not an up-down control";
  if (!c->enabled) return "control " + std::to_string(id) + " is disabled";
  size_t at = static_cast<size_t>(c - controls_.data());
  if (at == 0 || controls_[at - 1].kind != ControlKind::kEdit || !controls_[at - 1].enabled)
    return "up-down control " + std::to_string(id) + " has no enabled edit before it";
  const int lo = std::min(c->low, c->high), hi = std::max(c->low, c->high);
  const std::string& typed = controls_[at - 1].text;
  // An empty edit counts as 0; anything else must be a whole decimal number.
  char* end = nullptr;
  long value = strtol(typed.c_str(), &end, 10);
  if (*end == '\0' && value >= lo && value <= hi) c->position = static_cast<int>(value);
  int step = (c->high >= c->low) == up ? 1 : -1;
  c->position = std::clamp(c->position + step, lo, hi);
  SetText(controls_[at - 1].id, std::to_string(c->position));
  return {};
}

void VirtualDialog::PressEnter() {
  int id = DefaultButtonId();
  const Control* c = Find(id);
  if (c && !c->enabled) return;
  Command(id, CommandSource::kEnter);
}

void VirtualDialog::PressEscape() {
  const Control* c = Find(kIdCancel);
  if (c && c->enabled) Command(kIdCancel, CommandSource::kEscape);
}

int VirtualDialog::PressClosingButton() {
  for (int id : ClosingButtons(tpl_)) {
    const Control* c = Find(id);
    if (!c || !c->enabled) continue;
    Command(id, CommandSource::kClose);
    if (ended_) return id;
  }
  // A procedure that ignores every closing button must still not hold the caller forever.
  log_.Record(Event("dialog-forced-close").Number("id", tpl_.id).Text("title", title_));
  End(kIdCancel);
  return -1;
}

}  // namespace vp::headless
