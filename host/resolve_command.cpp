// veilpost resolve SERVER RECIPIENTS: who a memo to RECIPIENTS would be encrypted for.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hooklib/core/recipient_table.h"
#include "hooklib/core/strings.h"
#include "hooklib/outgoing/recipients.h"
#include "host/commands.h"

namespace vphost {

void AddResolveCommand(CLI::App& app) {
  static std::string server, recipients;
  CLI::App* cmd = app.add_subcommand(
      "resolve",
      "Resolve recipients through the server's directory as sending a memo does, "
      "and print the recipient table, one name a line");
  cmd->add_option("SERVER", server, "the server whose directory is used (\"\" the local one)")
      ->required();
  cmd->add_option("RECIPIENTS", recipients, "names separated by \";\"")->required();
  cmd->callback([] {
    vp::ClearRecipientTable();
    vp::LoadMessageStrings();  // the captions of the boxes a failure shows
    int result = vp::ResolveRecipients(server.c_str(), recipients.c_str());
    if (result != 0) {
      std::fprintf(stderr, "veilpost resolve: resolution failed (%d)\n", result);
      std::exit(1);
    }
    const vp::RecipientTable& table = vp::Recipients();
    for (int i = 0; i < table.count; ++i) std::printf("%s\n", table.entries[i]);
    vp::FreeRecipientTable();
    std::exit(0);
  });
}

}  // namespace vphost
