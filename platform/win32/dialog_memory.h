// Dialog templates as the Win32 dialog manager reads them: a DLGTEMPLATE built in memory from a
// template table, for DialogBoxIndirectParam and CreateDialogIndirectParam.
#pragma once
#include <vector>

#include "platform/dialog_template.h"
#include "platform/win32/win_api.h"

namespace vp::win32 {

// The in-memory template of `tpl`, DWORD-aligned from its first word. `className`, when given,
// names the window class the dialog is made of (its own window procedure then handles it).
std::vector<WORD> BuildDialogMemory(const DialogTemplate& tpl, const wchar_t* className = nullptr);

inline LPCDLGTEMPLATEA AsDialogTemplate(const std::vector<WORD>& memory) {
  return reinterpret_cast<LPCDLGTEMPLATEA>(memory.data());
}

}  // namespace vp::win32
