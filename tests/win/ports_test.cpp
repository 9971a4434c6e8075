// The Win32 ports against the real Win32 API (under Wine in CI): registry, process runner,
// wipe, single-instance lock, Startup shortcut and the Notes API without a Notes client.
#include "platform/win32/win_api.h"  // windows.h without the MessageBox and DialogBox macros

#include <io.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "hooklib/core/temp_files.h"
#include "hooklib/resources/dialogs.h"
#include "platform/autostart.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/notes_api.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "tests/win/win_test.h"

namespace {

std::string TempFile(const char* name, const std::string& content) {
  std::string path = vp::SystemTempPath() + "\\" + name;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  return path;
}

// Echoes standard input to standard output after writing `argv[2]` bytes to standard error
// first, so a parent that writes all its input before reading anything would never finish;
// ends with exit code argv[3].
WIN_CHILD(echo) {
  if (argc < 4) return 99;
  std::string noise(static_cast<size_t>(std::atol(argv[2])), 'e');
  DWORD n;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), noise.data(), static_cast<DWORD>(noise.size()), &n,
            nullptr);
  char buf[65536];
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &n, nullptr) && n > 0)
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buf, n, &n, nullptr);
  return std::atoi(argv[3]);
}

// Prints the command line exactly as the process received it.
WIN_CHILD(command_line) {
  std::fputs(GetCommandLineA(), stdout);
  return 0;
}

WIN_CHILD(sleep) {
  Sleep(60000);
  return 0;
}

WIN_CHILD(lock_held) {
  return argc >= 3 && vp::InstanceLockHeld(argv[2]) ? 1 : 0;
}

WIN_TEST(RegistryKeysGetTheirClassAndTypedValues) {
  const char* path = "Software\\Brinmoor\\Veilpost Port Test";
  vp::RegistryKey key = nullptr;
  EXPECT(vp::RegistryOpenOrCreate(path, "Application Config Values", &key));
  if (!key) return;
  EXPECT(vp::RegistryWriteDword(key, "Number", 4242));
  EXPECT(vp::RegistryWriteString(key, "Text", "C:\\Program Files\\GNU\\GnuPG\\gpg2.exe"));
  uint32_t number = 0;
  EXPECT(vp::RegistryReadDword(key, "Number", &number) && number == 4242);
  // Typed reads: a string is no number, a number no string, and a value too large for the
  // buffer fails without touching it.
  EXPECT(!vp::RegistryReadDword(key, "Text", &number) && number == 4242);
  char small[8] = "keep";
  EXPECT(!vp::RegistryReadString(key, "Text", small, sizeof small));
  EXPECT_TEXT(small, "keep");
  EXPECT(!vp::RegistryReadString(key, "Number", small, sizeof small));
  char text[64] = "";
  EXPECT(vp::RegistryReadString(key, "Text", text, sizeof text));
  EXPECT_TEXT(text, "C:\\Program Files\\GNU\\GnuPG\\gpg2.exe");
  vp::RegistryClose(key);

  // What landed in the system's registry, read without the port.
  HKEY raw;
  EXPECT(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &raw) == ERROR_SUCCESS);
  char cls[64] = "";
  DWORD clsLength = sizeof cls;
  RegQueryInfoKeyA(raw, cls, &clsLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  EXPECT_TEXT(cls, "Application Config Values");
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT(RegQueryValueExA(raw, "Number", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
         ERROR_SUCCESS);
  EXPECT(type == REG_DWORD && value == 4242);
  RegCloseKey(raw);
  RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

WIN_TEST(RunnerFeedsAndDrainsLargeStreamsWithoutDeadlock) {
  // Four megabytes in, three megabytes on standard error before the child reads anything.
  std::string input;
  for (int i = 0; input.size() < (4u << 20); ++i) input += "line " + std::to_string(i) + "\r\n";
  vp::SpawnRequest request;
  request.commandLine = "\"" + wintest::SelfPath() + "\" child-echo 3145728 7";
  request.stdinBytes = input;
  request.timeoutMs = 60000;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  EXPECT(result.error == vp::SpawnError::kNone);
  EXPECT(!result.timedOut);
  EXPECT(result.exitStatus == 7);
  EXPECT(result.out == input);
  EXPECT(result.err.size() == 3145728u);

  // Nothing to write: the child sees the end of its input at once.
  request.stdinBytes = "";
  request.commandLine = "\"" + wintest::SelfPath() + "\" child-echo 0 0";
  result = vp::GetProcessLauncher().Run(request);
  EXPECT(result.exitStatus == 0 && result.out.empty());
}

WIN_TEST(RunnerHandsTheCommandLineOverExactly) {
  std::string line = "\"" + wintest::SelfPath() +
                     "\" child-command_line --passphrase-fd 0 \"two words\" \"a \\\"quote\\\"\"";
  vp::SpawnRequest request;
  request.commandLine = line;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  EXPECT_TEXT(result.out, line);

  // An unquoted program path with a blank runs that program, not a planted file named by the
  // path's first word.
  std::string dir = vp::SystemTempPath() + "\\vp runner";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string copy = dir + "\\child program.exe";
  EXPECT(CopyFileA(wintest::SelfPath().c_str(), copy.c_str(), FALSE));
  std::string planted = TempFile("vp", "MZ not a program");
  request.commandLine = copy + " child-command_line x";
  result = vp::GetProcessLauncher().Run(request);
  EXPECT(result.error == vp::SpawnError::kNone);
  EXPECT_TEXT(result.out, request.commandLine);
  DeleteFileA(planted.c_str());
  DeleteFileA(copy.c_str());
  RemoveDirectoryA(dir.c_str());

  request.commandLine = "\"" + vp::SystemTempPath() + "\\no such program.exe\" --version";
  EXPECT(vp::GetProcessLauncher().Run(request).error == vp::SpawnError::kLaunch);
}

WIN_TEST(RunnerStopsAChildAtItsLimit) {
  vp::SpawnRequest request;
  request.commandLine = "\"" + wintest::SelfPath() + "\" child-sleep";
  request.timeoutMs = 1500;
  ULONGLONG started = GetTickCount64();
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  EXPECT(result.timedOut);
  EXPECT(result.exitStatus == -1);
  EXPECT(GetTickCount64() - started < 20000);
}

struct WipeWatch {
  std::string path;
  int fills = 0;
  bool allBytesWritten = true;
  bool othersKeptOut = true;
};

void OnWipeStep(vp::WipeStep step, unsigned char byte, int fd, void* context) {
  auto* watch = static_cast<WipeWatch*>(context);
  if (step != vp::WipeStep::kFilled) return;
  ++watch->fills;
  // What the file holds now, read through the wipe's own handle.
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  LARGE_INTEGER zero{};
  SetFilePointerEx(h, zero, nullptr, FILE_BEGIN);
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0)
    for (DWORD i = 0; i < n; ++i)
      watch->allBytesWritten &= static_cast<unsigned char>(buf[i]) == byte;
  // No one else may open the file while it is overwritten.
  HANDLE other = CreateFileA(watch->path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (other != INVALID_HANDLE_VALUE) {
    watch->othersKeptOut = false;
    CloseHandle(other);
  }
}

WIN_TEST(WipeOverwritesEveryByteAloneThenDeletes) {
  WipeWatch watch;
  watch.path = TempFile("vp-wipe.txt", std::string(100000, 'p'));
  // A read-only file is wiped all the same.
  EXPECT(vp::SetFileReadOnly(watch.path, true));
  EXPECT(GetFileAttributesA(watch.path.c_str()) & FILE_ATTRIBUTE_READONLY);
  vp::SetWipeObserver(OnWipeStep, &watch);
  EXPECT(vp::WipeFile(watch.path.c_str()) == 0);
  vp::SetWipeObserver(nullptr, nullptr);
  EXPECT(watch.fills == 2);
  EXPECT(watch.allBytesWritten);
  EXPECT(watch.othersKeptOut);
  EXPECT(GetFileAttributesA(watch.path.c_str()) == INVALID_FILE_ATTRIBUTES);

  // A file this process made and still holds is let go and wiped.
  std::string scratch = vp::CreateUniqueFile(vp::SystemTempPath(), "vpwin");
  EXPECT(vp::FileHeldByOther(scratch));
  EXPECT(vp::WriteFileContent(scratch, "secret", 6));
  EXPECT(vp::WipeFile(scratch.c_str()) == 0);
  EXPECT(GetFileAttributesA(scratch.c_str()) == INVALID_FILE_ATTRIBUTES);
}

// What is not a plain file is told apart before anything opens it for writing: a device, a pipe
// or a folder is left alone, a link or junction loses only its own name.
WIN_TEST(WipeTouchesPlainFilesOnlyAndALinkNeverTakesItsTarget) {
  vp::WipeHandle h;
  EXPECT(vp::WipeOpen("NUL", &h) == vp::WipeOpenResult::kNotAFile);
  EXPECT(vp::WipeOpen("\\\\.\\pipe\\vp-no-such-pipe", &h) == vp::WipeOpenResult::kNotAFile);
  const std::string dir =
      vp::SystemTempPath() + "\\vp-links-" + std::to_string(GetCurrentProcessId());
  EXPECT(CreateDirectoryA(dir.c_str(), nullptr));
  EXPECT(vp::WipeOpen(dir, &h) == vp::WipeOpenResult::kNotAFile);
  EXPECT(h.fd == -1);
  EXPECT(vp::WipeOpen(dir + "\\missing", &h) == vp::WipeOpenResult::kMissing);

  const std::string target = dir + "\\target.txt", link = dir + "\\link.txt";
  const std::string folder = dir + "\\folder", folderLink = dir + "\\folder-link";
  HANDLE f = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD n = 0;
  WriteFile(f, "target", 6, &n, nullptr);
  CloseHandle(f);
  EXPECT(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string inside = folder + "\\kept.txt";
  f = CreateFileA(inside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  CloseHandle(f);
  // Unprivileged creation (developer mode) where the system allows it.
  const DWORD unprivileged = 0x2;
  bool fileLink = CreateSymbolicLinkA(link.c_str(), target.c_str(), unprivileged) &&
                  GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
  bool dirLink = CreateSymbolicLinkA(folderLink.c_str(), folder.c_str(),
                                     SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged) &&
                 GetFileAttributesA(folderLink.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (fileLink) {
    EXPECT(vp::WipeOpen(link, &h) == vp::WipeOpenResult::kNotOwnFile);
    EXPECT(vp::WipeFile(link.c_str()) == 0);
    EXPECT(GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES);
  } else {
    std::printf("  (no symbolic link to a file can be made here; that part is not checked)\n");
  }
  if (dirLink) {
    EXPECT(vp::WipeOpen(folderLink, &h) == vp::WipeOpenResult::kNotOwnFile);
    EXPECT(vp::WipeFile(folderLink.c_str()) == 0);
    EXPECT(GetFileAttributesA(folderLink.c_str()) == INVALID_FILE_ATTRIBUTES);
  } else {
    std::printf("  (no symbolic link to a folder can be made here; that part is not checked)\n");
  }
  char content[16] = "";
  f = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                  nullptr);
  ReadFile(f, content, sizeof content - 1, &n, nullptr);
  CloseHandle(f);
  EXPECT_TEXT(std::string(content, n), "target");
  EXPECT(GetFileAttributesA(inside.c_str()) != INVALID_FILE_ATTRIBUTES);
  DeleteFileA(inside.c_str());
  RemoveDirectoryA(folder.c_str());
  DeleteFileA(target.c_str());
  EXPECT(RemoveDirectoryA(dir.c_str()));
}

// A dialog the system cannot show (here its owner is no window: error 1400, as on a session
// without a desktop) answers Cancel, so no caller reads it as an empty entry and asks again.
WIN_TEST(ADialogThatCannotBeShownAnswersCancel) {
  const vp::DialogTemplate* tpl = vp::FindDialogTemplate(104);
  EXPECT(tpl != nullptr);
  if (!tpl) return;
  bool ran = false;
  auto proc = [](vp::Dialog& dialog, vp::DialogMessage, int, void* param) -> intptr_t {
    *static_cast<bool*>(param) = true;
    dialog.End(vp::kIdOk);
    return 1;
  };
  auto noWindow = reinterpret_cast<vp::WindowHandle>(static_cast<uintptr_t>(0x7ffe1230));
  EXPECT(vp::Ui().DialogBox(*tpl, noWindow, proc, &ran) == vp::kIdCancel);
  EXPECT(!ran);
}

WIN_TEST(OneInstanceLockPerNameAcrossProcesses) {
  bool held = false;
  vp::InstanceLock lock = vp::AcquireInstanceLock("VEILPOST-TEST", &held);
  EXPECT(lock && !held);
  vp::InstanceLock second = vp::AcquireInstanceLock("VEILPOST-TEST", &held);
  EXPECT(!second && held);
  EXPECT(wintest::RunChild("child-lock_held VEILPOST-TEST") == 1);
  vp::ReleaseInstanceLock(lock);
  EXPECT(wintest::RunChild("child-lock_held VEILPOST-TEST") == 0);
}

WIN_TEST(StartupShortcutStartsTheRunningProgram) {
  std::string target;
  EXPECT(vp::OwnExecutablePath(&target));
  EXPECT_TEXT(target, wintest::SelfPath());
  std::string link = vp::SystemTempPath() + "\\" + vp::kStartupShortcutName;
  std::string error;
  EXPECT(vp::WriteStartupShortcut(target, link, &error));
  EXPECT_TEXT(error, "");
  // Read back through the shell's own link object.
  CoInitialize(nullptr);
  IShellLinkA* shell = nullptr;
  IPersistFile* file = nullptr;
  char path[MAX_PATH] = "";
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shell))) &&
      SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(wide, STGM_READ)))
    shell->GetPath(path, sizeof path, nullptr, 0);
  if (file) file->Release();
  if (shell) shell->Release();
  CoUninitialize();
  EXPECT(lstrcmpiA(path, target.c_str()) == 0);
  DeleteFileA(link.c_str());

  // A folder that does not exist: the system's reason comes back.
  EXPECT(!vp::WriteStartupShortcut(target, vp::SystemTempPath() + "\\no folder\\x.lnk", &error));
  EXPECT(!error.empty());
}

WIN_TEST(NotesApiWithoutANotesClientSaysSo) {
  vp::DbHandle db = 0;
  vp::NotesStatus status = vp::Notes().OpenDatabase("mail.nsf", &db);
  EXPECT(status != vp::kNotesOk);
  char text[256];
  vp::Notes().ErrorText(status, text, sizeof text);
  EXPECT(std::strstr(text, "nnotes.dll") != nullptr);
  EXPECT(std::strstr(text, "no Notes client") != nullptr);
}

}  // namespace
