// Library start-up and shut-down, configuration, and the version hand-shake.
#pragma once

namespace vp {

constexpr const char* kRequiredSubformVersion = "1.5.5";
constexpr const char* kConfigKeyPath = "Software\\Brinmoor\\Veilpost Ver 1.0";
constexpr const char* kConfigKeyClass = "Application Config Values";

// Attach processing, in its order: configuration, passphrase rule, recipient table, strings.
void ProcessAttach();
// Detach processing: passphrase rule, recipient table released.
void ProcessDetach();

// Reads the configuration key into the shared settings (with the GnuPG existence fallback); a
// value that is missing, of another type or unreadable, or a key that cannot be opened, gives
// the default.
void LoadConfiguration();

int InitOrlavexImpl(const char* notesVersion, const char* subformVersion);
// True when a Notes client version has been stored; otherwise shows the incompatible-subform
// error and returns false.
bool CheckInitialised();

}  // namespace vp
