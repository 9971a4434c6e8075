// Dialog templates as data: what a resource script would say about a dialog and its controls.
#pragma once
#include <cstdint>
#include <vector>

namespace vp {

enum class ControlKind {
  kStatic,
  kEdit,
  kPushButton,
  kDefPushButton,
  kCheckBox,  // automatic check box
  kRadio,     // automatic radio button; a group runs until the next control with kGroup
  kListBox,
  kGroupBox,
  kUpDown,
  kIcon,
  kBitmap,  // a picture from the program's bitmap resources, named by its text "#ID"
};

// Control styles, numbered as the Win32 styles they stand for.
enum : uint32_t {
  kStyleGroup = 0x00020000,  // starts a new radio group
  kStyleTabStop = 0x00010000,
  kStyleDisabled = 0x08000000,
  kStyleVScroll = 0x00200000,
  kStyleHScroll = 0x00100000,
  kStyleBorder = 0x00800000,
  kEditMultiLine = 0x0004,
  kEditPassword = 0x0020,
  kEditAutoVScroll = 0x0040,
  kEditAutoHScroll = 0x0080,
  kEditReadOnly = 0x0800,
  kEditNumber = 0x2000,
  kListNotify = 0x0001,
  kListSort = 0x0002,
  kListMultipleSel = 0x0008,
  kListNoIntegralHeight = 0x0100,
  kListExtendedSel = 0x0800,
  kStaticRight = 0x0002,        // text aligned right
  kStaticCenterImage = 0x0200,  // a bitmap centred in its frame at its real size
};

// Dialog window styles, numbered as the Win32 styles they stand for.
enum : uint32_t {
  kDsSetFont = 0x00000040,
  kDsModalFrame = 0x00000080,
  kWsPopup = 0x80000000,
  kWsCaption = 0x00C00000,
  kWsSysMenu = 0x00080000,
  kWsMinimizeBox = 0x00020000,
  kModalDialogStyle = kDsSetFont | kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu,
};

struct ControlTemplate {
  int id;  // -1 for controls without an id (static texts)
  ControlKind kind;
  uint32_t style;
  int x, y, w, h;  // dialog units
  const char* text;
};

struct DialogTemplate {
  int id;
  const char* title;
  int w, h;  // dialog units
  const char* font;
  int fontSize;
  uint32_t style;
  std::vector<ControlTemplate> controls;  // in tab order
};

}  // namespace vp
