// veilpost: the stand-in for the mail client's script, and tools around the system.
#include <CLI/CLI.hpp>

#include "host/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"veilpost: drives the Veilpost hook library as the mail client's script does"};
  app.require_subcommand(1);
  vphost::AddCallCommand(app);
  vphost::AddStatusCommand(app);
  vphost::AddNotesCommands(app);
  vphost::AddResolveCommand(app);
  vphost::AddDemoCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    // Usage errors end with 2, as the command's contract says; help is no error.
    return rc == 0 ? 0 : 2;
  }
  return 0;
}
