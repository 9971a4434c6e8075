// veilpost status: the shared settings, where they came from, and the GnuPG program in use.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hooklib/core/startup.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/passphrase.h"
#include "host/commands.h"
#include "host/library.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/reg_text.h"
#include "platform/segment.h"

namespace vphost {
namespace {

// The settings file the registry port uses.
std::string RegistryFile() {
  if (const char* p = getenv("VEILPOST_REGISTRY"); p && *p) return p;
  const char* home = getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw && pw->pw_dir ? pw->pw_dir : ".";
  }
  return std::string(home) + "/.config/veilpost/registry.reg";
}

// The values the system reads, and whether each is a string (else a 32-bit number).
struct KnownValue {
  const char* name;
  bool isString;
};
const KnownValue kKnownValues[] = {
    {"GpgProgramPath", true},    {"CacheInterval", false},      {"UseAgent", false},
    {"ShowProcAttDlg", false},   {"ShowMailSignDlg", false},    {"ShowFileSignDlg", false},
    {"ShowLaunchAttDlg", false}, {"AutoOpenPgpMail", false},    {"AttachPubKey", false},
    {"EncryptMessage", false},   {"EncryptAttachments", false}, {"TraceFile", true},
    {"GpgTimeout", false},
};

// Lines of the settings file nothing reads, and known values stored with the wrong type: a
// rewrite keeps them as written, so the user hears of them here rather than never.
void WarnAboutSettingsFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::string> unread = vp::UnreadRegLines(text);
  if (!unread.empty()) {
    printf(
        "Warning: %zu line(s) of the settings file could not be read; they are ignored and "
        "kept as written:\n",
        unread.size());
    for (const std::string& line : unread) printf("  %s\n", line.c_str());
  }
  vp::RegDocument doc = vp::ParseRegText(text);
  const vp::RegSection* key =
      vp::FindRegSection(doc, std::string("HKEY_CURRENT_USER\\") + vp::kConfigKeyPath);
  if (!key) return;
  for (const KnownValue& v : kKnownValues) {
    const vp::RegEntry* entry = vp::FindRegValue(*key, v.name);
    std::string bytes;
    if (!entry || !vp::RegValueBytes(*entry, &bytes)) continue;  // warned about above
    uint32_t type = vp::RegValueType(*entry);
    if (type != (v.isString ? vp::kRegString : vp::kRegDword))
      printf("Warning: \"%s\"=%s is not %s; it is not used and its default applies\n", v.name,
             entry->data.c_str(), v.isString ? "a string (\"...\")" : "a number (dword:...)");
  }
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

int RunStatus() {
  void* lib = LoadHookLibrary();
  auto view =
      reinterpret_cast<vp::SharedSettings* (*)()>(FindExport(lib, "VeilpostSharedSettings"));
  if (!view) {
    fprintf(stderr, "veilpost status: the library does not share its settings\n");
    return 1;
  }
  const vp::SharedSettings& s = *view();
  std::string file = RegistryFile();
  const char* named = getenv("VEILPOST_REGISTRY");
  printf("Settings file: %s%s%s\n", file.c_str(), named && *named ? " (VEILPOST_REGISTRY)" : "",
         access(file.c_str(), F_OK) == 0 ? "" : ", not there yet: every default applies");
  WarnAboutSettingsFile(file);
  printf("Shared settings:\n");
  printf("  szGpgApp             %s\n", s.szGpgApp);
  printf("  szVersion            %s\n", s.szVersion);
  printf("  cacheInterval        %u minute(s)\n", s.cacheInterval);
  printf("  passphrase           %s\n", s.passphrase[0] ? "cached" : "not cached");
  printf("  time_start           %d\n", s.time_start);
  bool controlRunning = vp::InstanceLockHeld("CORVANE");
  printf("Control program: %s\n", controlRunning
                                      ? "corvane is running"
                                      : "not running, so a cached passphrase never expires");
  if (controlRunning && s.passphrase[0]) {
    // By corvane's own rule, so a clock set back or a very long interval is told as it acts.
    const int64_t now = vp::GetClock().Now();
    const int64_t left = vp::PassphraseSecondsLeft(now, s.time_start, s.cacheInterval);
    time_t due = static_cast<time_t>(now + left);
    char when[64] = "";
    struct tm utc;
    if (left == 0) {
      printf("  the cached passphrase has expired: corvane clears it at its next minute tick\n");
    } else if (gmtime_r(&due, &utc) &&
               strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc) > 0) {
      printf("  the cached passphrase expires at corvane's first minute tick from %s\n", when);
    } else {
      printf("  the cached passphrase expires in %lld seconds\n", static_cast<long long>(left));
    }
  }
  printf("  bUseAgent            %u\n", s.bUseAgent);
  printf("  bShowProcAttDialog   %u\n", s.bShowProcAttDialog);
  printf("  bShowMailSignDialog  %u\n", s.bShowMailSignDialog);
  printf("  bShowFileSignDialog  %u\n", s.bShowFileSignDialog);
  printf("  bShowAttLaunchDialog %u\n", s.bShowAttLaunchDialog);
  printf("  bAutoOpenPgpMail     %u\n", s.bAutoOpenPgpMail);
  printf("  defaultDirectory     %s\n", s.defaultDirectory);

  vp::SpawnRequest request;
  request.commandLine = std::string(s.szGpgApp) + " --version";
  request.timeoutMs = vp::kVersionQueryLimitMs;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  if (result.error != vp::SpawnError::kNone) {
    printf("GnuPG: %s cannot be started\n", s.szGpgApp);
    return 1;
  }
  if (result.timedOut) {
    printf("GnuPG: %s did not answer --version within %d seconds and was stopped\n", s.szGpgApp,
           vp::kVersionQueryLimitMs / 1000);
    return 1;
  }
  printf("GnuPG: %s: %s\n", s.szGpgApp, FirstLine(result.out).c_str());
  return 0;
}

}  // namespace

void AddStatusCommand(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand("status", "Show the shared settings and the GnuPG in use");
  cmd->callback([] { exit(RunStatus()); });
}

}  // namespace vphost
