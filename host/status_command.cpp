// veilpost status: the shared settings, where they came from, and the GnuPG program in use.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/commands.h"
#include "host/library.h"
#include "platform/process.h"
#include "platform/segment.h"

namespace vphost {
namespace {

std::string RegistrySource() {
  if (const char* p = getenv("VEILPOST_REGISTRY"); p && *p)
    return std::string(p) + " (VEILPOST_REGISTRY)";
  const char* home = getenv("HOME");
  return std::string(home ? home : "") + "/.config/veilpost/registry.reg";
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
  printf("Configuration: %s\n", RegistrySource().c_str());
  printf("Shared settings:\n");
  printf("  szGpgApp             %s\n", s.szGpgApp);
  printf("  szVersion            %s\n", s.szVersion);
  printf("  cacheInterval        %u minute(s)\n", s.cacheInterval);
  printf("  passphrase           %s\n", s.passphrase[0] ? "cached" : "not cached");
  printf("  time_start           %d\n", s.time_start);
  printf("  bUseAgent            %u\n", s.bUseAgent);
  printf("  bShowProcAttDialog   %u\n", s.bShowProcAttDialog);
  printf("  bShowMailSignDialog  %u\n", s.bShowMailSignDialog);
  printf("  bShowFileSignDialog  %u\n", s.bShowFileSignDialog);
  printf("  bShowAttLaunchDialog %u\n", s.bShowAttLaunchDialog);
  printf("  bAutoOpenPgpMail     %u\n", s.bAutoOpenPgpMail);
  printf("  defaultDirectory     %s\n", s.defaultDirectory);

  vp::SpawnRequest request;
  request.commandLine = std::string(s.szGpgApp) + " --version";
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  if (result.error != vp::SpawnError::kNone) {
    printf("GnuPG: %s cannot be started\n", s.szGpgApp);
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
