// Throwaway GnuPG key rings for tests, made once per test run and copied for each test.
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace vptest {

// GnuPG 1.4 and 2.2 as Debian ships them; 2.4, what users on Windows run, as the test fixture
// tests/fixtures/build-gnupg24 builds.
enum class GnuPG { k1, k2, k24 };

// Every version, for the suites that run their cases with each.
inline constexpr GnuPG kEveryGnuPG[] = {GnuPG::k1, GnuPG::k2, GnuPG::k24};

// The program of a version: /usr/bin/gpg1, /usr/bin/gpg, or the 2.4 fixture's gpg ("" when
// that was not built).
const char* GnuPGProgram(GnuPG version);
const char* GnuPGName(GnuPG version);  // "GnuPG1" / "GnuPG2" / "GnuPG24", for test names

// GnuPG 2.2 or 2.4: an agent holds the secret keys, a passphrase needs loopback pinentry.
bool HasAgent(GnuPG version);

// Why the program of `version` cannot run here, in one line; "" when it can. GnuPG 2.4 is found
// through VP_GNUPG24 (the gpg to use; set but empty: none) or else the last build the fixture
// script recorded in the fixture cache, so a suite run after the script finds it unasked.
std::string GnuPGMissing(GnuPG version);

// Skips the running test (from a test body or SetUp) when `version` is missing here.
#define VP_SKIP_UNLESS_PRESENT(version)                                            \
  do {                                                                             \
    if (std::string missing_ = ::vptest::GnuPGMissing(version); !missing_.empty()) \
      GTEST_SKIP() << missing_;                                                    \
  } while (0)

// The people on the test key rings. Carol's key carries three user ids; Dave has two keys with
// the same user id; Erin's key is known only to Erin (a stranger to everyone else).
struct Person {
  const char* who;  // "alice", "bob", ...
  const char* name;
  const char* email;
  const char* passphrase;
};
const Person& Alice();
const Person& Bob();
const Person& Carol();
const Person& Erin();

// Copies the key ring of `who` ("alice": Alice's secret key with Bob's, Carol's and Dave's
// public keys; "bob": Bob's secret key with Alice's public key; "erin": Erin's secret key
// alone) for `version` into a fresh folder inside `dir`, points GNUPGHOME at it and returns its
// path. The master rings are made on first use in this test run and shared between test
// processes.
std::string UseKeyring(GnuPG version, const std::string& who, const std::string& dir);

// A fresh empty GnuPG home (mode 0700) whose path is short enough for an agent's sockets.
std::string FreshHome(const std::string& name);

// Imports the public key of "mallory" (user id "Mallory Smith, Evil <m@evil.example>"), "dan"
// (user id `Dan "Q" Smith <dan@example.org>`) or "jimbob" (user id "Jim Bob
// <jimbob@example.com>") into the key ring at `home`.
void AddPublicKey(GnuPG version, const std::string& home, const std::string& who);

// Stops the daemons of a GnuPG 2 home (no-op otherwise) so no process outlives the test.
void StopAgent(const std::string& home);

// Runs GnuPG of `version` on `home` with `args` (shell words), returns the exit status and
// the combined output.
int Gpg(GnuPG version, const std::string& home, const std::string& args,
        std::string* output = nullptr);

// The full fingerprint of the primary key whose user id matches `email` on `home`.
std::string Fingerprint(GnuPG version, const std::string& home, const std::string& email);

// A fingerprint or key id in groups of four; a 40-digit fingerprint as two halves, two blanks
// apart, as GnuPG prints it.
std::string Grouped(const std::string& reference);

// A key as the key list boxes show it: `uid`, then the fingerprint of the key of `email` on
// `home` in groups of four, the two halves apart, in brackets.
std::string KeyLine(GnuPG version, const std::string& home, const std::string& uid,
                    const std::string& email);

}  // namespace vptest
