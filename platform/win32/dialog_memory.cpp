// Building DLGTEMPLATE memory: the header, the title and font, then one DLGITEMTEMPLATE per
// control, each starting on a DWORD boundary.
#include "platform/win32/dialog_memory.h"

#include <cstdlib>
#include <string>

namespace vp::win32 {
namespace {

// The predefined control classes by their atoms.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kListBoxAtom = 0x0083;

// Window styles any control may carry over from its table entry.
constexpr DWORD kCommonStyles =
    WS_GROUP | WS_TABSTOP | WS_DISABLED | WS_VSCROLL | WS_HSCROLL | WS_BORDER;

class Words {
 public:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    if (words_.size() % 2) Word(0);
  }
  std::vector<WORD> Take() { return std::move(words_); }

 private:
  std::vector<WORD> words_;
};

struct ControlClass {
  WORD atom;            // 0 when named
  const wchar_t* name;  // the class name of a common control
  DWORD style;          // the kind's own style bits
};

ControlClass ClassOf(const ControlTemplate& c) {
  DWORD own = c.style & 0xFFFF;  // edit and list box styles are numbered as Win32 numbers them
  switch (c.kind) {
    case ControlKind::kStatic:
      return {kStaticAtom, nullptr, SS_LEFT | (own & (SS_RIGHT | SS_CENTER))};
    case ControlKind::kIcon:
      return {kStaticAtom, nullptr, SS_ICON};
    case ControlKind::kBitmap:
      return {kStaticAtom, nullptr, SS_BITMAP | (own & SS_CENTERIMAGE)};
    case ControlKind::kEdit:
      return {kEditAtom, nullptr, own};
    case ControlKind::kPushButton:
      return {kButtonAtom, nullptr, BS_PUSHBUTTON};
    case ControlKind::kDefPushButton:
      return {kButtonAtom, nullptr, BS_DEFPUSHBUTTON};
    case ControlKind::kCheckBox:
      return {kButtonAtom, nullptr, BS_AUTOCHECKBOX};
    case ControlKind::kRadio:
      return {kButtonAtom, nullptr, BS_AUTORADIOBUTTON};
    case ControlKind::kGroupBox:
      return {kButtonAtom, nullptr, BS_GROUPBOX};
    case ControlKind::kListBox:
      return {kListBoxAtom, nullptr, own};
    case ControlKind::kUpDown:
      // Buddied to the edit before it, whose integer it sets, on its right, arrow keys on.
      return {0, UPDOWN_CLASSW,
              UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS};
  }
  return {kStaticAtom, nullptr, SS_LEFT};
}

}  // namespace

std::vector<WORD> BuildDialogMemory(const DialogTemplate& tpl, const wchar_t* className) {
  Words w;
  w.Dword(tpl.style);
  w.Dword(0);  // extended style
  w.Word(static_cast<WORD>(tpl.controls.size()));
  w.Short(0);
  w.Short(0);
  w.Short(tpl.w);
  w.Short(tpl.h);
  w.Word(0);  // no menu
  if (className)
    w.Text(className);
  else
    w.Word(0);  // the dialog manager's own class
  w.Text(Widen(tpl.title));
  if (tpl.style & DS_SETFONT) {
    w.Short(tpl.fontSize);
    w.Text(Widen(tpl.font));
  }
  for (const ControlTemplate& c : tpl.controls) {
    ControlClass cls = ClassOf(c);
    w.AlignDword();
    w.Dword(WS_CHILD | WS_VISIBLE | (c.style & kCommonStyles) | cls.style);
    w.Dword(0);
    w.Short(c.x);
    w.Short(c.y);
    w.Short(c.w);
    w.Short(c.h);
    w.Word(static_cast<WORD>(c.id));  // -1 becomes 0xFFFF, the id of text without one
    if (cls.name) {
      w.Text(cls.name);
    } else {
      w.Word(0xFFFF);
      w.Word(cls.atom);
    }
    // A picture names its resource by number: the dialog manager then loads it from the
    // module the dialog is made for.
    if (c.kind == ControlKind::kBitmap && c.text && c.text[0] == '#') {
      w.Word(0xFFFF);
      w.Word(static_cast<WORD>(std::strtoul(c.text + 1, nullptr, 10)));
    } else {
      w.Text(Widen(c.text));
    }
    w.Word(0);  // no creation data
  }
  return w.Take();
}

}  // namespace vp::win32
