// When the cached passphrase expires, and making GnuPG's agent forget along with it.
#pragma once
#include <cstdint>

#include "platform/segment.h"

namespace vp::control {

// Whether a passphrase cached at `start` has expired at `now` (see PassphraseSecondsLeft): a
// clock set back before `start` expires it, and a long interval never wraps to a short one.
bool CacheExpired(int64_t now, int32_t start, uint32_t intervalMinutes);

// The expiry check of one timer tick: when expired, empties the passphrase and moves time_start
// to now; when that emptied a cached passphrase the agent forgets too, unless `agentMode` (the
// agent then keeps passphrases by its own settings and is left alone). Returns whether it expired.
bool ExpiryTick(SharedSettings& s, bool agentMode);

// The Clear command: empties the passphrase and moves time_start to now; unless `agentMode`, the
// agent forgets too, whatever was cached here (the user asked for every cached copy to go).
void ClearPassphrase(SharedSettings& s, bool agentMode);

// Has GnuPG 2's agent (of the GnuPG named by `gpgPath`) drop the passphrases it cached, through
// "gpgconf --reload gpg-agent" beside that program. Traced; never a message. GnuPG 1.4 has no
// agent of its own and is left alone.
void ReloadGnuPGAgent(const char* gpgPath);

}  // namespace vp::control
