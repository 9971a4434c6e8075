// veilpost: the stand-in for the mail client's script, and tools around the system.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "host/commands.h"
#include "veilpost_version.h"

int main(int argc, char** argv) {
  // "veilpost help [COMMAND]" is "veilpost [COMMAND] --help".
  std::vector<std::string> words(argv, argv + argc);
  if (words.size() >= 2 && words[1] == "help") {
    words.erase(words.begin() + 1);
    words.push_back("--help");
  }
  CLI::App app{"veilpost: drives the Veilpost hook library as the mail client's script does"};
  app.name("veilpost");
  app.footer("veilpost help COMMAND shows the help of one command.");
  app.set_version_flag("--version", "veilpost " VEILPOST_VERSION,
                       "Show the release number and exit");
  app.require_subcommand(1);
  vphost::AddCallCommand(app);
  vphost::AddStatusCommand(app);
  vphost::AddNotesCommands(app);
  vphost::AddResolveCommand(app);
  vphost::AddDemoCommand(app);
  try {
    std::vector<std::string> reversed(words.rbegin(), words.rend() - 1);
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    // Usage errors end with 2, as the command's contract says; help is no error.
    return rc == 0 ? 0 : 2;
  }
  return 0;
}
