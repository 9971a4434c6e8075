// Bulk and tricky public keys for the key lookup tests, made once per test run under a lock.
#include "support/many_keys.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/test_env.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

std::string RunRoot() {
  const char* base = getenv("VP_TEST_RUN_DIR");
  return base ? std::string(base) : (fs::temp_directory_path() / "vp-tests").string();
}

void Must(int status, const std::string& what, const std::string& output) {
  if (status != 0) throw std::runtime_error("key setup failed: " + what + "\n" + output);
}

// Runs `make` into `path` unless an earlier process of this run did; `path` is written last.
template <typename Make>
std::string Once(const std::string& path, Make make) {
  fs::create_directories(RunRoot());
  int lock = open((path + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  flock(lock, LOCK_EX);
  if (!fs::exists(path)) make();
  flock(lock, LOCK_UN);
  close(lock);
  return path;
}

// Runs GnuPG 2 on the maker's `home` without passphrases; a failure throws with its output.
std::string MakerGpg(const std::string& home, const std::string& args) {
  std::string out;
  Must(RunCommand("gpg --homedir '" + home + "' --batch --pinentry-mode loopback --passphrase '' " +
                      args + " 2>&1",
                  &out),
       args, out);
  return out;
}

}  // namespace

std::string ManyPublicKeys(int count) {
  const std::string file = RunRoot() + "/many-" + std::to_string(count) + ".asc";
  return Once(file, [&] {
    std::string work = ShortPrivateDir("vpn");
    std::string home = work + "/gen";
    fs::create_directories(home);
    fs::permissions(home, fs::perms::owner_all);
    auto gpg = [&](const std::string& args) { return MakerGpg(home, args); };
    // One RSA key, readable by both versions, lends its key material to every person: a key
    // made at another second has another fingerprint, and making it costs one signature
    // instead of new primes.
    gpg("--quick-gen-key 'Seed <seed@seed.example>' rsa1024 sign,encr never");
    std::string listing = gpg("--with-colons --with-keygrip --list-secret-keys seed@seed.example");
    size_t at = listing.find("\ngrp:");
    Must(at == std::string::npos, "keygrip", listing);
    const std::string grip = listing.substr(at + 13, 40);
    std::string params;
    for (int i = 0; i < count; ++i) {
      char person[400];
      snprintf(person, sizeof person,
               "Key-Type: RSA\nKey-Grip: %s\nKey-Usage: sign encrypt\nName-Real: Person %05d\n"
               "Name-Email: p%05d@many.example\nCreation-Date: 2020%02d%02dT%02d%02d%02d\n"
               "Expire-Date: 0\n%%no-protection\n%%commit\n",
               grip.c_str(), i, i, 1 + i / (28 * 86400) % 12, 1 + i / 86400 % 28, i / 3600 % 24,
               i / 60 % 60, i % 60);
      params += person;
    }
    WriteFile(home + "/params", params);
    gpg("--gen-key '" + home + "/params'");
    // Only the people: the key they were made from shares their material but is no recipient.
    gpg("--armor --output '" + file + ".tmp' --export @many.example");
    StopAgent(home);
    fs::remove_all(work);
    fs::rename(file + ".tmp", file);
  });
}

void AddTrickyKeys(GnuPG version, const std::string& home) {
  const std::string root = RunRoot() + "/tricky";
  // The stamp and its lock lie beside the folder, which a first attempt's leftovers are cleared
  // from: a lock inside it would be removed while held.
  Once(root + ".ready", [&] {
    fs::remove_all(root);
    fs::create_directories(root);
    std::string work = ShortPrivateDir("vpt");
    std::string gen = work + "/gen";
    fs::create_directories(gen);
    fs::permissions(gen, fs::perms::owner_all);
    auto gpg = [&](const std::string& args) { return MakerGpg(gen, args); };
    for (const char* uid : {"Ann Lee <ann@example.com>", "Ann Leeds <annl@example.com>",
                            "J\xC3\xB6rg M\xC3\xBCller <joerg@example.com>",
                            "Carl One <carl@example.com>", "Rex Revoked <rex@example.com>",
                            "Dee Disabled <dee@example.com>", "Sam Secret <sam@example.com>"})
      gpg("--quick-gen-key '" + std::string(uid) + "' rsa1024 default never");
    // Made in the past, so it expired long ago.
    gpg("--faked-system-time 20200101T000000 --quick-gen-key 'Eve Expired <eve@example.com>' "
        "rsa1024 default 1d");
    gpg("--quick-add-uid carl@example.com 'Carl Two <carl2@example.org>'");
    // The revocation certificate GnuPG made with the key, its guard colon taken off.
    std::string rex = gpg("--with-colons --fingerprint rex@example.com");
    size_t at = rex.find("\nfpr:");
    Must(at == std::string::npos, "fingerprint of rex", rex);
    std::string fpr = rex.substr(at + 13, 40);
    std::string cert = ReadFile(gen + "/openpgp-revocs.d/" + fpr + ".rev");
    size_t colon = cert.find(":-----BEGIN");
    Must(colon == std::string::npos, "revocation certificate", cert);
    cert.erase(colon, 1);
    WriteFile(work + "/rex.rev", cert);
    gpg("--import '" + work + "/rex.rev'");
    gpg("--armor --output '" + root +
        "/public.asc' --export ann@example.com annl@example.com "
        "joerg@example.com carl@example.com rex@example.com dee@example.com eve@example.com");
    gpg("--armor --output '" + root + "/sam-secret.asc' --export-secret-keys sam@example.com");
    std::string sam = gpg("--with-colons --with-keygrip --list-secret-keys sam@example.com");
    at = sam.find("\ngrp:");
    Must(at == std::string::npos, "keygrip of sam", sam);
    std::string grip = sam.substr(at + 13, 40);
    fs::copy_file(gen + "/private-keys-v1.d/" + grip + ".key", root + "/sam.key");
    StopAgent(gen);
    fs::remove_all(work);
    WriteFile(root + ".ready", "");
  });
  std::string out;
  Must(Gpg(version, home, "--batch --import '" + root + "/public.asc'", &out), "import", out);
  if (HasAgent(version)) {
    // The agent's key file alone: a secret key whose public key the ring lacks.
    fs::create_directories(home + "/private-keys-v1.d");
    fs::copy_file(root + "/sam.key", home + "/private-keys-v1.d/sam.key");
  } else {
    // GnuPG 1.4 keeps secret keys in a ring of their own: the key appended there alone.
    Must(RunCommand("gpg1 --dearmor < '" + root + "/sam-secret.asc' >> '" + home + "/secring.gpg'",
                    &out),
         "secret key of sam", out);
  }
  Must(RunCommand("printf 'disable\\nsave\\n' | " + std::string(GnuPGProgram(version)) +
                      " --homedir '" + home +
                      "' --batch --command-fd 0 --edit-key "
                      "dee@example.com 2>&1",
                  &out),
       "disable", out);
}

}  // namespace vptest
