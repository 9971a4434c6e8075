// Key listing, PgpCheckKey and the "List of possible names" dialog on real key rings.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/choose_key.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "support/keyrings.h"
#include "support/test_env.h"
#include "ui_fixture.h"

namespace {

using vptest::GnuPG;

class GnuPGKeys : public vptest::UiFixture, public testing::WithParamInterface<GnuPG> {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    VP_SKIP_UNLESS_PRESENT(GetParam());
    vp::LoadMessageStrings();
    vp::InitialSharedSettings(&vp::Settings());
    vp::CopyText(vp::Settings().szGpgApp, vptest::GnuPGProgram(GetParam()));
    home_ = vptest::UseKeyring(GetParam(), "alice", dir_);
    vp::FreeKeyLists();
  }
  void TearDown() override {
    vp::FreeKeyLists();
    if (!home_.empty()) vptest::StopAgent(home_);
    UiFixture::TearDown();
  }
  std::string home_;
};

TEST_P(GnuPGKeys, AKeyIsListedOnceUnderItsFirstUserId) {
  std::string direct;
  vptest::Gpg(GetParam(), home_, "--with-colons --fixed-list-mode --list-keys carol", &direct);
  size_t uid = direct.find("\nuid:");
  ASSERT_NE(uid, std::string::npos);
  std::string firstUid = direct.substr(uid + 1, direct.find('\n', uid + 1) - uid - 1);
  size_t start = 0;
  for (int i = 0; i < 9; ++i) start = firstUid.find(':', start) + 1;
  firstUid = firstUid.substr(start, firstUid.find(':', start) - start);

  ASSERT_EQ(vp::ListPublicKeys("carol"), 0);
  const vp::StringList& ids = vp::KeyIdList();
  ASSERT_EQ(ids.count, 1);
  EXPECT_EQ(std::string(vp::UserIdList().items[0]), firstUid);
  std::string fpr = vptest::Fingerprint(GetParam(), home_, "carol@example.com");
  EXPECT_EQ(std::string(ids.items[0]), fpr.substr(fpr.size() - 8));
  // On command lines the key is named by its fingerprint, or at least its long key id.
  std::string ref = vp::KeyReference(0);
  EXPECT_TRUE(ref == fpr || ref == fpr.substr(fpr.size() - 16)) << ref;
  EXPECT_GE(ref.size(), 16u);
}

TEST_P(GnuPGKeys, ListingsAppendAndSecretListingsSeeOnlyOwnKeys) {
  ASSERT_EQ(vp::ListPublicKeys("bob@example.com"), 0);
  ASSERT_EQ(vp::ListPublicKeys("alice@example.com"), 0);
  std::string line = vp::LastCommandLine();
  EXPECT_EQ(line.substr(line.find(" --list-public-keys")),
            " --list-public-keys --with-colons --fixed-list-mode --with-fingerprint -- "
            "\"alice@example.com\"");
  ASSERT_EQ(vp::KeyIdList().count, 2);
  EXPECT_NE(std::string(vp::UserIdList().items[0]).find("Bob Example"), std::string::npos);
  EXPECT_NE(std::string(vp::UserIdList().items[1]).find("Alice Example"), std::string::npos);
  vp::FreeKeyLists();

  ASSERT_EQ(vp::ListSecretKeys(nullptr), 0);
  ASSERT_EQ(vp::KeyIdList().count, 1);
  EXPECT_NE(std::string(vp::UserIdList().items[0]).find("Alice Example"), std::string::npos);
}

TEST_P(GnuPGKeys, CheckKeyLooksUpTheCommonNameOfAHierarchicalName) {
  char name[256] = "Bob Example/Sales/Acme";
  int found = -1;
  EXPECT_EQ(vp::PgpCheckKeyImpl(name, &found), 0);
  EXPECT_EQ(found, 1);
  EXPECT_STREQ(name, "Bob Example");
  EXPECT_EQ(vp::KeyIdList().count, 0);

  char stranger[256] = "Erin Stranger";
  EXPECT_EQ(vp::PgpCheckKeyImpl(stranger, &found), 0);
  EXPECT_EQ(found, 0);

  vp::CopyText(vp::Settings().szGpgApp, (dir_ + "/missing/gpg").c_str());
  char bob[256] = "Bob Example";
  EXPECT_EQ(vp::PgpCheckKeyImpl(bob, &found), -1);
  EXPECT_EQ(found, 0);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["caption"], "Error");
  EXPECT_EQ(boxes[0]["text"], "Unable to launch gpg.exe. Please check the program path.");
}

// A name another person chose is a name, never an option: GnuPG writes no file it names. Any key
// that matches counts as found, in part too; an address only by exactly that address.
TEST_P(GnuPGKeys, CheckKeyTakesEveryNameAsANameAndAddressesExactly) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  vptest::WriteFile(dir_ + "/victim", "precious\n");
  const struct {
    const char* name;
    int found;
  } cases[] = {
      {"--status-file=victim", 0},
      {"--logger-file=victim", 0},
      {"--output=victim", 0},
      {"bob@example.com", 1},
      {"BOB@EXAMPLE.COM", 1},
      {"ob@example.com", 0},
      {"Bob", 1},
      {"example.com", 1},
      {"0x00000000", 0},
  };
  for (const auto& c : cases) {
    char name[256];
    vp::CopyText(name, c.name);
    int found = -1;
    EXPECT_EQ(vp::PgpCheckKeyImpl(name, &found), 0) << c.name;
    EXPECT_EQ(found, c.found) << c.name;
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(vptest::ReadFile(dir_ + "/victim"), "precious\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/--output=victim"));
}

TEST_P(GnuPGKeys, ChooserCaptionFollowsTheNumberOfCandidates) {
  UseScript("dialog 107 click 1\n");
  vp::SetKeyRole(vp::MessageString(171));
  ASSERT_EQ(vp::ListPublicKeys("bob@example.com"), 0);
  vp::ClearChosenKey();
  EXPECT_EQ(vp::ChooseKey("Bob Example"), 0);
  EXPECT_STREQ(vp::ChosenKey(), vp::KeyIdList().items[0]);
  EXPECT_STREQ(vp::ChosenKeyReference(), vp::KeyReference(0));
  auto texts = Events("set-text");
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0]["text"], "Unable to find public key for recipient name \"Bob Example\"!");
  vp::FreeKeyLists();

  // Dave has two keys: the ambiguous wording, the items sorted, the chosen one handed back.
  UseScript("dialog 107 select-index 1011 1; click 1\n");
  ASSERT_EQ(vp::ListPublicKeys("dave@example.net"), 0);
  ASSERT_EQ(vp::KeyIdList().count, 2);
  EXPECT_EQ(vp::ChooseKey("Dave Example"), 0);
  texts = Events("set-text");
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back()["text"],
            "The recipient name \"Dave Example\" is ambiguous. Please choose the correct name!");
  EXPECT_EQ(Events("list-add").size(), 1u + 2u);  // Bob before, both of Dave's keys now
  std::string chosen = vp::ChosenKey();
  EXPECT_TRUE(chosen == vp::KeyIdList().items[0] || chosen == vp::KeyIdList().items[1]);
}

// The list shows the user ids sorted; the key handed back is that of the item picked, not the
// one at the same place in the listing.
TEST_P(GnuPGKeys, ChosenKeyIsThatOfTheItemPicked) {
  std::string listing =
      "pub:u:1024:17:00000000000000ZZ:1::::::scESC:\nfpr:::::::::ZZZZ:\nuid:u::::1::H::Zoe Last:\n"
      "pub:u:1024:17:00000000000000MM:1::::::scESC:\nfpr:::::::::MMMM:\nuid:u::::1::H::Max Mid:\n"
      "pub:u:1024:17:00000000000000AA:1::::::scESC:\nfpr:::::::::AAAA:\nuid:u::::1::H::Amy "
      "First:\n";
  vp::PairKeyListing(listing.data(), false);
  ASSERT_EQ(vp::KeyIdList().count, 3);
  for (auto [index, key] : {std::pair{0, "AAAA"}, std::pair{1, "MMMM"}, std::pair{2, "ZZZZ"}}) {
    UseScript("dialog 107 select-index 1011 " + std::to_string(index) + "; click 1\n");
    EXPECT_EQ(vp::ChooseKey("someone"), 0);
    EXPECT_STREQ(vp::ChosenKeyReference(), key) << index;
    EXPECT_STREQ(vp::ChosenKey(), std::string(8, key[0]).replace(0, 6, "000000").c_str());
  }
}

TEST_P(GnuPGKeys, CancelLeavesNoChosenKey) {
  UseScript("dialog 107 click 2\n");
  ASSERT_EQ(vp::ListPublicKeys("bob@example.com"), 0);
  EXPECT_EQ(vp::ChooseKey("Bob"), -1);
  EXPECT_STREQ(vp::ChosenKey(), "");
  // Nobody to answer: the dialog is cancelled, never left hanging.
  UseScript("");
  EXPECT_EQ(vp::ChooseKey("Bob"), -1);
}

// A GnuPG that lists Bob's key and is then killed, as by the out-of-memory killer.
int KilledGnuPG(int, char**) {
  std::printf(
      "pub:u:1024:17:0123456789ABCDEF:1600000000:::u:::scESC:\n"
      "uid:u::::1600000000::AB::Bob Example <bob@example.com>:\n");
  std::fflush(stdout);
  raise(SIGKILL);
  return 0;
}
const bool kKilledGnuPG = vptest::RegisterChild("gpg-killed", KilledGnuPG);

using GnuPGKeysKilled = vptest::UiFixture;

TEST_F(GnuPGKeysKilled, ListingOrDecryptionThatDiedIsAnErrorNotAnAnswer) {
  ASSERT_TRUE(kKilledGnuPG);
  vp::InitialSharedSettings(&vp::Settings());
  vp::CopyText(vp::Settings().szGpgApp, vptest::ChildProgram("gpg-killed", dir_).c_str());
  char bob[256] = "Bob Example";
  int found = -1;
  EXPECT_EQ(vp::PgpCheckKeyImpl(bob, &found), -1);
  EXPECT_EQ(found, 0);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["text"],
            "GnuPG was ended by signal 9 before it finished. The operation did not take place.");

  // Nor is a decryption that died a verdict on the message.
  UseScript("dialog 104 type 1005 any; click 1\n");
  char* out = nullptr;
  size_t length = 0;
  EXPECT_EQ(vp::DecryptMessage("-----BEGIN PGP MESSAGE-----\n", &out, &length), -1);
  EXPECT_EQ(out, nullptr);
  boxes = Events("message");
  ASSERT_EQ(boxes.size(), 2u) << RawLog();
  EXPECT_EQ(boxes[1]["text"], boxes[0]["text"]);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, GnuPGKeys, testing::ValuesIn(vptest::kEveryGnuPG),
                         [](const auto& info) { return vptest::GnuPGName(info.param); });

}  // namespace
