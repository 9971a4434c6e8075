// The demonstration's system part on Windows: children through the system's process runner
// (the same one the library starts GnuPG with), Ctrl-C through the console, the settings in
// the registry (put back at the end), the directory made through the Notes API's nnotes.dll.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <tuple>

#include "host/demo_system.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace vphost::demo {
namespace {

volatile LONG g_stop = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  InterlockedExchange(&g_stop, static_cast<LONG>(event) + 1);
  return TRUE;  // the demo ends itself once the running step returns
}

constexpr const char* kSettingsKey = "Software\\Brinmoor\\Veilpost Ver 1.0";

// One registry value as it was before the demo changed it; nullopt when it did not exist.
struct SavedValue {
  const char* name;
  DWORD type = REG_NONE;
  std::optional<std::string> bytes;
};
std::vector<SavedValue> g_saved;
bool g_settingsSaved = false;

HKEY OpenSettings() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0,
                      const_cast<char*>("Application Config Values"), REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

SavedValue Save(HKEY key, const char* name) {
  SavedValue saved{name, REG_NONE, std::nullopt};
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &saved.type, nullptr, &size) != ERROR_SUCCESS)
    return saved;
  std::string bytes(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, &saved.type, reinterpret_cast<BYTE*>(bytes.data()),
                       &size) == ERROR_SUCCESS)
    saved.bytes = bytes.substr(0, size);
  return saved;
}

void SetDword(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string ModuleFolder() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return "";
  return fs::path(self).parent_path().string();
}

// Puts the environment and the working folder of this process back as they were.
class ChildSurroundings {
 public:
  ChildSurroundings(const Env& env, const std::string& folder) {
    for (const auto& [name, value] : env) {
      DWORD n = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
      std::optional<std::string> old;
      if (n > 0) {
        std::string text(n, '\0');
        DWORD got = GetEnvironmentVariableA(name.c_str(), text.data(), n);
        old = text.substr(0, got);
      }
      saved_.push_back({name, old});
      SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    if (!folder.empty()) {
      char here[MAX_PATH];
      DWORD n = GetCurrentDirectoryA(sizeof here, here);
      if (n > 0 && n < sizeof here) folder_ = here;
      SetCurrentDirectoryA(folder.c_str());
    }
  }
  ~ChildSurroundings() {
    for (const auto& [name, old] : saved_)
      SetEnvironmentVariableA(name.c_str(), old ? old->c_str() : nullptr);
    if (!folder_.empty()) SetCurrentDirectoryA(folder_.c_str());
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  std::string folder_;
};

}  // namespace

// The child inherits the environment and working folder of the moment, so they are set around
// the start. The runner gives the child a console of its own; the dialogs are windows anyway.
// The runner waits without a clock, so no dots are shown while GnuPG works.
int Run(const std::vector<std::string>& argv, const Env& env, std::string* out, std::string* err,
        const RunLimits& limits) {
  if (argv.empty()) return -1;
  // The program path knows no escapes: it is only put between quotes.
  std::string line = "\"" + argv[0] + "\"";
  for (size_t i = 1; i < argv.size(); ++i) line += " " + vp::QuoteWindowsArgument(argv[i]);
  vp::SpawnRequest request;
  request.commandLine = line;
  request.timeoutMs = limits.seconds * 1000;
  vp::SpawnResult result;
  {
    ChildSurroundings around(env, limits.folder);
    result = vp::GetProcessLauncher().Run(request);
  }
  if (out) *out = result.out;
  if (err) *err = result.err;
  if (result.error != vp::SpawnError::kNone || result.timedOut ||
      result.out.size() + result.err.size() > limits.maxOutput)
    return -1;
  return result.exitStatus;
}

void CatchStopRequests() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int StopRequest() {
  return static_cast<int>(g_stop);
}

void EndByStopRequest(int request) {
  printf("\nStopped (%s); the demo folder is gone and the settings are as they were.\n",
         request == CTRL_C_EVENT + 1 ? "Ctrl-C" : "the console was closed");
  fflush(stdout);
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

std::string MakeWorkFolder(std::string* error) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof temp) {
    *error = "the temporary folder is unknown";
    return "";
  }
  // A name no one else holds: made by this call, never an existing one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    snprintf(name, sizeof name, "vp-demo-%lu-%lu-%d", GetCurrentProcessId(), GetTickCount(),
             attempt);
    std::string path = (fs::path(temp) / name).string();
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  *error = std::string("cannot make a folder in ") + temp;
  return "";
}

std::string SelfPath() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  return n > 0 && n < sizeof self ? std::string(self, n) : "veilpost.exe";
}

// The GnuPG the settings name, else one beside this program, else where GnuPG's installers
// put it.
std::string DefaultGnuPG() {
  std::vector<std::string> candidates;
  if (HKEY key = OpenSettings()) {
    SavedValue configured = Save(key, "GpgProgramPath");
    RegCloseKey(key);
    if (configured.bytes && configured.type == REG_SZ)
      candidates.push_back(configured.bytes->c_str());
  }
  candidates.push_back((fs::path(ModuleFolder()) / "gpg.exe").string());
  for (const char* variable : {"ProgramFiles(x86)", "ProgramFiles"}) {
    char folder[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(variable, folder, sizeof folder);
    if (n > 0 && n < sizeof folder)
      candidates.push_back((fs::path(folder) / "GnuPG" / "bin" / "gpg.exe").string());
  }
  for (const std::string& c : candidates)
    if (CanRun(c)) return c;
  return "gpg.exe";
}

bool CanRun(const std::string& program) {
  DWORD a = GetFileAttributesA(program.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Unset: the real dialogs are shown.
std::string InteractiveUi() {
  return "";
}

// Both people share this user's registry settings: they are set for the demo (its GnuPG, no
// agent mode, no cached passphrase, which the shared section would hand from Alice to Bob) and
// put back by RestoreSettings.
Env PersonSettings(const std::string& home, const std::string& gpg) {
  (void)home;
  HKEY key = OpenSettings();
  if (!key) return {};
  if (!g_settingsSaved) {
    for (const char* name : {"GpgProgramPath", "UseAgent", "CacheInterval"})
      g_saved.push_back(Save(key, name));
    g_settingsSaved = true;
  }
  RegSetValueExA(key, "GpgProgramPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(gpg.c_str()),
                 static_cast<DWORD>(gpg.size() + 1));
  SetDword(key, "UseAgent", 0);
  SetDword(key, "CacheInterval", 0);
  RegCloseKey(key);
  return {};
}

void RestoreSettings() {
  if (!g_settingsSaved) return;
  if (HKEY key = OpenSettings()) {
    for (const SavedValue& v : g_saved) {
      if (v.bytes)
        RegSetValueExA(key, v.name, 0, v.type, reinterpret_cast<const BYTE*>(v.bytes->data()),
                       static_cast<DWORD>(v.bytes->size()));
      else
        RegDeleteValueA(key, v.name);
    }
    RegCloseKey(key);
  }
  g_saved.clear();
  g_settingsSaved = false;
}

namespace {

// The Notes API entries the directory is written with, as the Notes C API declares them.
using DbCreate = WORD(WINAPI*)(const char*, WORD, BOOL);
using DbOpen = WORD(WINAPI*)(const char*, DWORD*);
using DbClose = WORD(WINAPI*)(DWORD);
using NoteCreate = WORD(WINAPI*)(DWORD, DWORD*);
using NoteUpdate = WORD(WINAPI*)(DWORD, WORD);
using NoteClose = WORD(WINAPI*)(DWORD);
using ItemAppend = WORD(WINAPI*)(DWORD, WORD, const char*, WORD, WORD, const void*, DWORD);

constexpr WORD kDbClassNoteFile = 0xFF00;
constexpr WORD kItemSummary = 0x0004;
constexpr WORD kItemNames = 0x0040;
constexpr WORD kTypeText = 0x0500;
constexpr WORD kTypeTextList = 0x0501;

// A text list value: the count, each entry's length, then the entries.
std::string TextList(const std::vector<std::string>& entries) {
  std::string value;
  auto word = [&](size_t n) {
    value.push_back(static_cast<char>(n & 0xFF));
    value.push_back(static_cast<char>((n >> 8) & 0xFF));
  };
  word(entries.size());
  for (const std::string& e : entries) word(e.size());
  for (const std::string& e : entries) value += e;
  return value;
}

}  // namespace

std::string MakeDirectory(const std::string& folder, const std::string& file,
                          const std::vector<DirectoryPerson>& people,
                          const std::vector<DirectoryGroup>& groups) {
  HMODULE notes = LoadLibraryA("nnotes.dll");
  if (!notes)
    return "the Notes API library nnotes.dll could not be loaded (error " +
           std::to_string(GetLastError()) + ")";
  auto entry = [&](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(notes, name));
  };
  auto create = reinterpret_cast<DbCreate>(entry("NSFDbCreate"));
  auto open = reinterpret_cast<DbOpen>(entry("NSFDbOpen"));
  auto close = reinterpret_cast<DbClose>(entry("NSFDbClose"));
  auto noteCreate = reinterpret_cast<NoteCreate>(entry("NSFNoteCreate"));
  auto noteUpdate = reinterpret_cast<NoteUpdate>(entry("NSFNoteUpdate"));
  auto noteClose = reinterpret_cast<NoteClose>(entry("NSFNoteClose"));
  auto append = reinterpret_cast<ItemAppend>(entry("NSFItemAppend"));
  if (!create || !open || !close || !noteCreate || !noteUpdate || !noteClose || !append)
    return "nnotes.dll lacks an entry the directory is written with (NSFDbCreate, NSFDbOpen, "
           "NSFNoteCreate, NSFItemAppend, NSFNoteUpdate)";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = (fs::path(folder) / file).string();
  char text[16];
  if (WORD status = create(path.c_str(), kDbClassNoteFile, FALSE)) {
    snprintf(text, sizeof text, "%u", status);
    return path + ": NSFDbCreate failed with Notes status " + text;
  }
  DWORD db = 0;
  if (WORD status = open(path.c_str(), &db)) {
    snprintf(text, sizeof text, "%u", status);
    return path + ": NSFDbOpen failed with Notes status " + text;
  }
  WORD status = 0;
  auto write = [&](const std::vector<std::tuple<const char*, WORD, std::string>>& items) {
    DWORD note = 0;
    if (status || (status = noteCreate(db, &note)) != 0) return;
    for (const auto& [name, type, value] : items) {
      if (status) break;
      WORD flags = kItemSummary | (type == kTypeTextList ? kItemNames : 0);
      if (std::string(name) == "ShortName") flags = kItemSummary;
      status = append(note, flags, name, static_cast<WORD>(strlen(name)), type, value.data(),
                      static_cast<DWORD>(value.size()));
    }
    if (!status) status = noteUpdate(note, 0);
    noteClose(note);
  };
  for (const DirectoryPerson& p : people)
    write({{"Form", kTypeText, "Person"},
           {"Type", kTypeText, "Person"},
           {"FullName", kTypeTextList, TextList({p.fullName})},
           {"ShortName", kTypeTextList, TextList({p.shortName})},
           {"InternetAddress", kTypeText, p.mail}});
  for (const DirectoryGroup& g : groups)
    write({{"Form", kTypeText, "Group"},
           {"Type", kTypeText, "Group"},
           {"ListName", kTypeText, g.name},
           {"GroupType", kTypeText, "0"},
           {"Members", kTypeTextList, TextList(g.members)}});
  close(db);
  if (status) {
    snprintf(text, sizeof text, "%u", status);
    return path + ": writing the people and groups failed with Notes status " + text;
  }
  return "";
}

void EndAgents(const std::string& gpg, const std::vector<std::string>& homes) {
  std::string gpgconf = (fs::path(gpg).parent_path() / "gpgconf.exe").string();
  if (!CanRun(gpgconf)) return;
  for (const std::string& home : homes) {
    std::string out;
    RunLimits limits;
    limits.seconds = 20;
    Run({gpgconf, "--homedir", home, "--kill", "gpg-agent"}, {}, &out, nullptr, limits);
  }
}

}  // namespace vphost::demo
