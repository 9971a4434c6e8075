// Auto-start on Windows: a shell link in the user's Startup folder, written through the shell's
// link object (IShellLinkA) and saved with IPersistFile.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "platform/autostart.h"

namespace vp {

const char* const kStartupShortcutName = "Veilpost Control.LNK";

std::string DefaultStartupFolder() {
  char folder[MAX_PATH] = "";
  if (SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
    return "";
  return folder;
}

bool OwnExecutablePath(std::string* path) {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return false;
  path->assign(buf, n);
  return true;
}

namespace {

// The system's message for a result code: its message table, inserts ignored, neutral
// language with the user's default, at most 1024 bytes.
std::string ResultText(HRESULT result) {
  char text[1024] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(result), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  if (s.empty()) {
    char code[32];
    wsprintfA(code, "Error 0x%08lX", static_cast<unsigned long>(result));
    s = code;
  }
  return s;
}

}  // namespace

bool WriteStartupShortcut(const std::string& target, const std::string& linkPath,
                          std::string* error) {
  HRESULT init = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  HRESULT rc = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(rc)) rc = link->SetPath(target.c_str());
  if (SUCCEEDED(rc)) rc = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(rc)) {
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) == 0)
      rc = HRESULT_FROM_WIN32(GetLastError());
    else
      rc = file->Save(wide, TRUE);
  }
  if (FAILED(rc)) *error = ResultText(rc);
  if (file) file->Release();
  if (link) link->Release();
  if (SUCCEEDED(init)) CoUninitialize();
  return SUCCEEDED(rc);
}

}  // namespace vp
