// Public keys made in bulk for tests of large memos and tricky names, made once per test run.
#pragma once
#include <string>

#include "support/keyrings.h"

namespace vptest {

// An armoured file with the public keys of `count` people "Person NNNNN <pNNNNN@many.example>"
// (RSA 1024 sharing one key's material, each made at its own second so each has its own
// fingerprint; one batch without passphrase), made once per test run.
std::string ManyPublicKeys(int count);

// Imports into `home` keys whose names try the key lookup: "Ann Lee <ann@example.com>" and
// "Ann Leeds <annl@example.com>" (one name holds the other), "Jörg Müller <joerg@example.com>",
// "Carl One <carl@example.com>" with a second user id "Carl Two <carl2@example.org>", and the
// expired "Eve Expired <eve@example.com>", revoked "Rex Revoked <rex@example.com>" and disabled
// "Dee Disabled <dee@example.com>"; and the secret key of "Sam Secret <sam@example.com>" without
// its public key. Made once per test run (RSA 1024, readable by both versions).
void AddTrickyKeys(GnuPG version, const std::string& home);

}  // namespace vptest
