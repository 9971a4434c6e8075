// Passphrase acquisition: the agent, the cache (shared, or this process's own when caching is
// off), or the passphrase dialog.
#pragma once
#include <cstdint>

namespace vp {

constexpr int kSigningPassphraseDialog = 103;
constexpr int kDecryptionPassphraseDialog = 104;
// What GnuPG receives in agent mode; its agent then asks the user itself.
constexpr const char* kAgentPlaceholder = "qmvtz";

// How many times one operation asks: empty entries in a row before the dialog gives up, and
// wrong passphrases before the operation does. Every retry ends.
constexpr int kMaxPassphraseAttempts = 3;

// Afterwards Passphrase() is non-empty (typed, cached or the agent placeholder) or
// empty (the user cancelled, the dialog could not be shown, or nothing was typed
// kMaxPassphraseAttempts times). Starts an operation: its count of wrong passphrases is 0.
void GetPassphrase(int dialogId);

// The wrong-passphrase duty of every caller: empties the cache, shows the "incorrect passphrase"
// error and asks again. True when a new passphrase is there to retry with; false when the user
// cancelled, after the kMaxPassphraseAttempts-th wrong passphrase of the operation (with a message
// saying so), and always in agent mode, where nobody would be asked again (the caller gives up
// after the one message).
bool AskAgainAfterWrongPassphrase(int dialogId);

// How many seconds a passphrase cached at `start` (time_start, 32 bits) has left at `now`, with
// a lifetime of `intervalMinutes`; 0 once it has expired. The time since `start` is taken from the
// low 32 bits of both times, so it stays right across the year 2038; a time before `start` (the
// clock was set back) counts as expired, and the lifetime is counted in 64 bits, so no interval
// wraps to a short one.
int64_t PassphraseSecondsLeft(int64_t now, int32_t start, uint32_t intervalMinutes);
inline bool PassphraseExpired(int64_t now, int32_t start, uint32_t intervalMinutes) {
  return PassphraseSecondsLeft(now, start, intervalMinutes) == 0;
}

}  // namespace vp
