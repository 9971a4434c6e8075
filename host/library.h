// Loads the hook library by name, as the mail client does, and finds its exports by name.
#pragma once
#include <string>

namespace vphost {

// Makes the mail client's main window ("NOTESframe"), which exists before its script runs and
// owns the library's dialogs.
void OpenClientWindow();

// Loads liborlavex (the library's load processing runs now). Exits with a message on failure.
void* LoadHookLibrary();

// The export `name`, or null when the library has no such export.
void* FindExport(void* library, const char* name);

// Reads an argument: "@FILE" is the content of FILE, "@-" standard input, "@@TEXT" the text
// "@TEXT", anything else itself. Throws when FILE is a folder or cannot be read.
std::string ReadArgument(const std::string& arg);

}  // namespace vphost
