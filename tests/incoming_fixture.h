// Fixture for opening mail: Bob's key ring receives what Alice, Erin and others send, made by
// real GnuPG in the test; no temporary plaintext may be left behind by any case.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "platform/files.h"
#include "support/keyrings.h"
#include "support/test_env.h"
#include "ui_fixture.h"

namespace vptest {

class IncomingFixture : public UiFixture {
 protected:
  void StartWith(GnuPG version) {
    version_ = version;
    vp::InitialSharedSettings(&vp::Settings());
    vp::CopyText(vp::Settings().szGpgApp, GnuPGProgram(version));
    alice_ = UseKeyring(version, "alice", dir_);
    erin_ = UseKeyring(version, "erin", dir_);
    bob_ = UseKeyring(version, "bob", dir_);  // last: GNUPGHOME is Bob's
    // So that a wrong passphrase is noticed whatever was typed before.
    if (HasAgent(version))
      WriteFile(bob_ + "/gpg-agent.conf", "default-cache-ttl 0\nmax-cache-ttl 0\n");
  }

  void TearDown() override {
    for (const std::string& home : {alice_, erin_, bob_}) {
      if (!home.empty()) StopAgent(home);
    }
    ExpectNoTemporaryFiles();
    UiFixture::TearDown();
  }

  // No "veilpost*" file in the temporary folders, whatever the case did.
  void ExpectNoTemporaryFiles() {
    for (const std::string& dir : {PrivateDir(), vp::TempFileDirectory()}) {
      for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        EXPECT_NE(name.rfind("veilpost", 0), 0u) << "left behind: " << entry.path();
      }
    }
  }

  // Runs GnuPG as `home`'s owner on `plain` with `args` and returns what it wrote.
  std::string Make(const std::string& home, const char* passphrase, const std::string& args,
                   const std::string& plain, bool armor = true) {
    std::string in = dir_ + "/make-in";
    std::string out = dir_ + "/make-out";
    WriteFile(in, plain);
    std::filesystem::remove(out);
    std::string pass = passphrase ? std::string(" --passphrase '") + passphrase + "'" : "";
    if (passphrase && HasAgent(version_)) pass = " --pinentry-mode loopback" + pass;
    std::string output;
    int rc = Gpg(version_, home,
                 "--batch --yes --trust-model always" + std::string(armor ? " --armor" : "") +
                     pass + " " + args + " -o '" + out + "' '" + in + "'",
                 &output);
    EXPECT_EQ(rc, 0) << output;
    std::string made = ReadFile(out);
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return made;
  }
  std::string ExportKey(const std::string& home, const std::string& email) {
    std::string out;
    Gpg(version_, home, "--armor --export " + email, &out);
    return out.substr(out.find("-----BEGIN"));
  }
  std::string FromAlice(const std::string& args, const std::string& plain, bool armor = true) {
    return Make(alice_, Alice().passphrase, "--local-user alice@example.com " + args, plain, armor);
  }

  // DecryptMessage with the output as a string.
  int Decrypt(const std::string& text, std::string* output) {
    char* out = nullptr;
    size_t length = 0;
    int rc = vp::DecryptMessage(text.c_str(), &out, &length);
    output->assign(out ? std::string(out, length) : "<none>");
    free(out);
    return rc;
  }

  // The texts of the message boxes shown so far.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& e : Events("message"))
      texts.push_back(e["caption"].get<std::string>() + ": " + e["text"].get<std::string>());
    return texts;
  }
  static std::string Format(int id, const std::string& a, const std::string& b = "",
                            const std::string& c = "") {
    char text[1024];
    snprintf(text, sizeof text, vp::MessageString(id), a.c_str(), b.c_str(), c.c_str());
    return text;
  }
  // A verdict box on a checked signature: the verdict's own line, the fingerprint of the key of
  // `email` on `home`, and, unless Bob certified that key, the note that it is not certified.
  std::string SignedBox(const std::string& first, const std::string& home, const std::string& email,
                        bool certified = false) const {
    std::string text =
        first + "\nSigning key fingerprint: " + Grouped(Fingerprint(version_, home, email));
    if (!certified) text += std::string("\n\n") + kNotCertifiedNote;
    return text;
  }
  static constexpr const char* kNotCertifiedNote =
      "This key is not certified as belonging to that person: anyone can make a key that "
      "carries any name. To check it, compare the fingerprint above with one you obtained from "
      "the person directly (in person or by telephone); only when they match does the "
      "signature show who wrote this.";
  // How a box names a signing key Bob lacks: GnuPG 2 gives its fingerprint, 1.4 its key id.
  std::string UnknownKeyLine(const std::string& home, const std::string& email) const {
    std::string fpr = Fingerprint(version_, home, email);
    return HasAgent(version_) ? "\nSigning key fingerprint: " + Grouped(fpr)
                              : "\nSigning key ID: " + Grouped(fpr.substr(24));
  }
  // Bob certifies (locally signs) the key of `email` on his ring, as after checking it.
  void BobCertifies(const std::string& email) {
    std::string out;
    std::string pass = std::string(" --passphrase '") + Bob().passphrase + "'";
    if (HasAgent(version_)) pass = " --pinentry-mode loopback" + pass;
    int rc =
        RunCommand(std::string("echo y | ") + GnuPGProgram(version_) + " --homedir '" + bob_ +
                       "' --batch --yes --command-fd 0" + pass + " --lsign-key " + email + " 2>&1",
                   &out);
    ASSERT_EQ(rc, 0) << out;
  }
  std::string BobTypes() const {
    return std::string("dialog 104 type 1005 ") + Bob().passphrase + "; click 1\n";
  }

  GnuPG version_ = GnuPG::k1;
  std::string alice_, erin_, bob_;
};

// The same cases for GnuPG 1.4, 2.2 and 2.4.
class IncomingBothVersions : public IncomingFixture, public testing::WithParamInterface<GnuPG> {
 protected:
  void SetUp() override {
    IncomingFixture::SetUp();
    VP_SKIP_UNLESS_PRESENT(GetParam());
    StartWith(GetParam());
  }
};

inline std::string VersionName(const testing::TestParamInfo<GnuPG>& info) {
  return GnuPGName(info.param);
}

}  // namespace vptest
