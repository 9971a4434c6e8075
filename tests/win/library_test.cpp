// orlavex.dll as the mail client meets it: loaded by name, every export called, the shared
// variables exported as data in one section that every process loading the DLL shares, and the
// configuration read from the real registry at attach.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/export.h"
#include "platform/process.h"
#include "platform/segment.h"
#include "tests/win/win_test.h"

namespace {

const char kConfigKey[] = "Software\\Brinmoor\\Veilpost Ver 1.0";

// What the library showed the user: its user interface's event transcript.
std::string UiLogPath() {
  return wintest::TempFolder() + "\\vp-wintests-ui.log";
}

// The library as the client loads it, its prompts answered by an empty answer script: every
// dialog is closed with its closing button and every box takes its default, and each is
// written to the transcript.
HMODULE Library() {
  static HMODULE lib = [] {
    std::string answers = wintest::TempFolder() + "\\vp-wintests-answers.txt";
    if (FILE* f = std::fopen(answers.c_str(), "wb")) std::fclose(f);
    DeleteFileA(UiLogPath().c_str());
    _putenv(("VEILPOST_UI=script:" + answers).c_str());
    _putenv(("VEILPOST_UI_LOG=" + UiLogPath()).c_str());
    return LoadLibraryA("orlavex.dll");
  }();
  return lib;
}

template <typename F>
F* Export(const char* name) {
  FARPROC p = GetProcAddress(Library(), name);
  if (!p) wintest::Fail(__FILE__, __LINE__, std::string("no export ") + name);
  return reinterpret_cast<F*>(reinterpret_cast<void*>(p));
}

template <typename T>
T* Data(const char* name) {
  return reinterpret_cast<T*>(reinterpret_cast<void*>(GetProcAddress(Library(), name)));
}

void SetConfigDword(const char* name, DWORD value) {
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kConfigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void SetConfigString(const char* name, const std::string& value) {
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kConfigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

// Loads the DLL in a process of its own and reports what its attach left in the section.
WIN_CHILD(attach) {
  HMODULE lib = LoadLibraryA("orlavex.dll");
  if (!lib) return 2;
  auto launch = reinterpret_cast<int(VP_CALL*)()>(
      reinterpret_cast<void*>(GetProcAddress(lib, "GetLaunchConfig")));
  auto* gpg = reinterpret_cast<char*>(GetProcAddress(lib, "szGpgApp"));
  auto* interval = reinterpret_cast<uint32_t*>(GetProcAddress(lib, "cacheInterval"));
  std::printf("launch=%d interval=%u gpg=%s\n", launch(), *interval, gpg);
  return 0;
}

// Reads the cached passphrase another process left in the section, then empties it.
WIN_CHILD(take_passphrase) {
  HMODULE lib = LoadLibraryA("orlavex.dll");
  if (!lib) return 2;
  auto* passphrase = reinterpret_cast<char*>(GetProcAddress(lib, "passphrase"));
  auto* start = reinterpret_cast<int32_t*>(GetProcAddress(lib, "time_start"));
  std::printf("%s|%d", passphrase, *start);
  passphrase[0] = '\0';
  *start = 0;
  return 0;
}

WIN_TEST(EveryExportIsThereUnderItsPlainNameAndAnswers) {
  EXPECT(Library() != nullptr);
  if (!Library()) return;
  // The section's own image: nothing in the system writes the version text.
  auto* version = Data<char>("szVersion");
  EXPECT(version && std::strncmp(version, "Veilpost Ver ", 13) == 0);

  EXPECT(Export<int VP_CALL()>("PgpInit")() == 0);
  EXPECT(Export<int VP_CALL()>("PgpExit")() == 0);
  EXPECT(Export<int VP_CALL(const char*, const char*)>("InitOrlavex")("9.0.1", "1.5.5") == 0);
  EXPECT(Export<int VP_CALL()>("GetLaunchConfig")() == 1);
  EXPECT(Export<int VP_CALL()>("GetAutoOpenPgpMail")() == 1);
  EXPECT_TEXT(Export<const char * VP_CALL()>("GetTempDir")(), wintest::TempFolder());

  auto isPgp = Export<int VP_CALL(const char*)>("IsPgpMail");
  EXPECT(isPgp("Hello\r\n-----BEGIN PGP MESSAGE-----\r\nx\r\n-----END PGP MESSAGE-----\r\n") == 1);
  EXPECT(isPgp("Hello, no armour here.") == 0);

  std::string handover = wintest::TempFolder() + "\\mailbody.pgp";
  EXPECT(Export<int VP_CALL(const char*)>("DoQuoteBody")("quoted line\r\n") == 0);
  EXPECT_TEXT(wintest::ReadFileText(handover), "quoted line\r\n");

  std::string plain = wintest::TempFolder() + "\\vp-wipe-export.txt";
  if (FILE* f = std::fopen(plain.c_str(), "wb")) {
    std::fputs("plaintext", f);
    std::fclose(f);
  }
  EXPECT(Export<int VP_CALL(const char*)>("WipeFile")(plain.c_str()) == 0);
  EXPECT(GetFileAttributesA(plain.c_str()) == INVALID_FILE_ATTRIBUTES);

  // Without GnuPG (no default program is installed here) the key check fails, finding nothing.
  char name[] = "Alice Example";
  int found = 7;
  EXPECT(Export<int VP_CALL(char*, int*)>("PgpCheckKey")(name, &found) == -1);
  EXPECT(found == 0);

  // The mail operations end without a result file when their first prompt is cancelled or their
  // input holds nothing to do.
  char body[] = "no armour";
  char attachments[] = "";
  EXPECT(Export<int VP_CALL(const char*, char*, const char*)>("DoDecryptBody")(
             "Alice Example", body, attachments) == -1);
  EXPECT(Export<int VP_CALL(const char*, const char*)>("DoDecryptAttachments")("Alice Example",
                                                                               "") == 0);
  EXPECT(Export<int VP_CALL(const char*, const char*, const char*, const char*, char*)>(
             "DoEncrypt")("", "Alice Example", "Bob Example", "body", attachments) == -1);

  // Without a Notes client the design services fail instead of taking the DLL down.
  EXPECT(Export<int VP_CALL(const char*, const char*, const char*)>("CreateVeilpostTemplate")(
             "subform.nsf", "mail85.ntf", "veilpost.ntf") == -1);
  EXPECT(Export<int VP_CALL(const char*, const char*)>("ReplaceDatabaseDesign")("veilpost.ntf",
                                                                                "mail.nsf") == -1);
  EXPECT(wintest::ReadFileText(UiLogPath()).find("nnotes.dll") != std::string::npos);
}

WIN_TEST(SharedVariablesAreExportedAtTheirPlacesInOneBlock) {
  auto* block = Export<vp::SharedSettings*()>("VeilpostSharedSettings")();
  if (!block) return;
  struct Field {
    const char* name;
    size_t offset;
  };
  const Field fields[] = {
      {"szPgpKey", offsetof(vp::SharedSettings, szPgpKey)},
      {"passphrase", offsetof(vp::SharedSettings, passphrase)},
      {"time_start", offsetof(vp::SharedSettings, time_start)},
      {"cacheInterval", offsetof(vp::SharedSettings, cacheInterval)},
      {"bShowProcAttDialog", offsetof(vp::SharedSettings, bShowProcAttDialog)},
      {"bShowMailSignDialog", offsetof(vp::SharedSettings, bShowMailSignDialog)},
      {"bShowFileSignDialog", offsetof(vp::SharedSettings, bShowFileSignDialog)},
      {"bShowAttLaunchDialog", offsetof(vp::SharedSettings, bShowAttLaunchDialog)},
      {"bAutoOpenPgpMail", offsetof(vp::SharedSettings, bAutoOpenPgpMail)},
      {"bUseAgent", offsetof(vp::SharedSettings, bUseAgent)},
      {"defaultDirectory", offsetof(vp::SharedSettings, defaultDirectory)},
      {"szVersion", offsetof(vp::SharedSettings, szVersion)},
      {"szGpgApp", offsetof(vp::SharedSettings, szGpgApp)},
  };
  for (const Field& f : fields) {
    char* at = Data<char>(f.name);
    if (at != reinterpret_cast<char*>(block) + f.offset)
      wintest::Fail(__FILE__, __LINE__, std::string(f.name) + " is not at its place in the block");
  }
}

WIN_TEST(AnotherProcessSeesAndClearsTheCachedPassphrase) {
  SetConfigDword("CacheInterval", 10);
  auto* passphrase = Data<char>("passphrase");
  auto* start = Data<int32_t>("time_start");
  auto* interval = Data<uint32_t>("cacheInterval");
  if (!passphrase || !start || !interval) return EXPECT(false);
  *interval = 10;
  std::strcpy(passphrase, "correct horse");
  *start = 1234567;
  std::string seen;
  EXPECT(wintest::RunChild("child-take_passphrase", &seen) == 0);
  EXPECT_TEXT(seen, "correct horse|1234567");
  EXPECT_TEXT(passphrase, "");
  EXPECT(*start == 0);

  // With no cache interval configured, a process that loads the library drops the passphrase.
  SetConfigDword("CacheInterval", 0);
  std::strcpy(passphrase, "battery staple");
  EXPECT(wintest::RunChild("child-attach") == 0);
  EXPECT_TEXT(passphrase, "");
  EXPECT(*interval == 0);
}

// Runs corvane.exe from beside this program with its main window answered by `lines`.
int RunControlProgram(const std::string& lines) {
  std::string script = wintest::TempFolder() + "\\vp-wintests-corvane.txt";
  if (FILE* f = std::fopen(script.c_str(), "wb")) {
    std::fputs(lines.c_str(), f);
    std::fclose(f);
  }
  std::string self = wintest::SelfPath();
  const char* before = std::getenv("VEILPOST_UI");
  std::string saved = before ? before : "";
  _putenv(("VEILPOST_UI=script:" + script).c_str());
  vp::SpawnRequest request;
  request.commandLine = "\"" + self.substr(0, self.rfind('\\')) + "\\corvane.exe\"";
  request.timeoutMs = 60000;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  _putenv(("VEILPOST_UI=" + saved).c_str());
  return result.exitStatus;
}

WIN_TEST(TheControlProgramClearsThePassphraseTheClientCached) {
  SetConfigDword("CacheInterval", 10);
  auto* passphrase = Data<char>("passphrase");
  auto* interval = Data<uint32_t>("cacheInterval");
  if (!passphrase || !interval) return EXPECT(false);
  *interval = 10;
  std::strcpy(passphrase, "cached by the client");
  // Started and ended, corvane leaves the cache alone; its Clear button empties it.
  EXPECT(RunControlProgram("window 125 click 1028\n") == 0);
  EXPECT_TEXT(passphrase, "cached by the client");
  EXPECT(RunControlProgram("window 125 click 1026\nwindow 125 click 1028\n") == 0);
  EXPECT_TEXT(passphrase, "");
  SetConfigDword("CacheInterval", 0);
}

WIN_TEST(AttachReadsTheConfigurationFromTheRegistry) {
  // A configured GnuPG that exists is kept; the dialog flag follows its value.
  std::string self = wintest::SelfPath();
  SetConfigString("GpgProgramPath", self);
  SetConfigDword("ShowProcAttDlg", 0);
  SetConfigDword("CacheInterval", 25);
  std::string out;
  EXPECT(wintest::RunChild("child-attach", &out) == 0);
  EXPECT_TEXT(out.substr(0, out.find_first_of("\r\n")), "launch=0 interval=25 gpg=" + self);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kConfigKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    for (const char* name : {"GpgProgramPath", "ShowProcAttDlg", "CacheInterval"})
      RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
  // The section follows the registry again for the cases after this one.
  EXPECT(wintest::RunChild("child-attach", &out) == 0);
  EXPECT(out.rfind("launch=1 interval=0 gpg=C:\\Program Files\\GNU\\GnuPG\\gpg.exe", 0) == 0);
}

}  // namespace
