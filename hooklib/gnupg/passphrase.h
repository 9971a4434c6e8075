// Passphrase acquisition: the agent, the cache (shared, or this process's own when caching is
// off), or the passphrase dialog.
#pragma once

namespace vp {

constexpr int kSigningPassphraseDialog = 103;
constexpr int kDecryptionPassphraseDialog = 104;
// What GnuPG receives in agent mode; its agent then asks the user itself.
constexpr const char* kAgentPlaceholder = "qmvtz";

// Afterwards Passphrase() is non-empty (typed, cached or the agent placeholder) or
// empty (the user cancelled).
void GetPassphrase(int dialogId);

// The wrong-passphrase duty of every caller: shows the "incorrect passphrase" error, empties the
// cache and asks again. True when a new passphrase is there to retry with; always false in agent
// mode, where nobody would be asked again (the caller gives up after the one message).
bool AskAgainAfterWrongPassphrase(int dialogId);

}  // namespace vp
