// The Win32 headers the user-interface port needs, without the macros that would rename the port's
// own MessageBox and DialogBox members.
#pragma once
#include <windows.h>
// windows.h must come first.
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#undef MessageBox
#undef DialogBox

#include <string>

namespace vp::win32 {

// Texts of the system are 8-bit in the user's code page; dialog templates hold UTF-16.
inline std::wstring Widen(const char* text) {
  if (!text || !*text) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

// The module this code is linked into (the library or the program), for its resources.
inline HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// A window's 8-bit text of any length.
inline std::string WindowText(HWND window) {
  int n = GetWindowTextLengthA(window);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(window, text.data(), n + 1);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

}  // namespace vp::win32
