// The subcommands of veilpost, each added by its own file.
#pragma once
#include <CLI/CLI.hpp>

namespace vphost {

void AddCallCommand(CLI::App& app);     // call EXPORT [ARG...]
void AddStatusCommand(CLI::App& app);   // status
void AddNotesCommands(CLI::App& app);   // notes new-directory | add-person | ... | show
void AddResolveCommand(CLI::App& app);  // resolve SERVER RECIPIENTS
void AddDemoCommand(CLI::App& app);     // demo [--interactive] [--gpg PATH]

}  // namespace vphost
