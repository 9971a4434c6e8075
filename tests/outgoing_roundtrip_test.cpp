// The round trip: what Alice's DoEncrypt writes, Bob's DoDecryptBody opens in a process of his
// own (his key ring, settings and temporary folder), with Alice reported as the signer.
#include <gtest/gtest.h>

#include <filesystem>

#include "outgoing_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

using OutgoingRoundTrip = OutgoingFixture;

TEST_P(OutgoingRoundTrip, BobOpensEncryptedAndClearSignedMemosFromAlice) {
  std::string attachment = dir_ + "/minutes.txt";
  WriteFile(attachment, "minutes\n");
  const std::string body = "Dear team,\nthe minutes are attached.\n";
  UseScript("dialog 101 click 1\ndialog 103 type 1005 alice-pass; click 1\n");
  ASSERT_EQ(Send("Bob Example;Team", body, attachment), 16);

  int rc = 0;
  std::string out = BobCalls(ReadFile(MailBody()), "minutes.txt.pgp", &rc, GetParam());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(BobSees(), body + "[Attachment: minutes.txt]\n");
  EXPECT_NE(BobsBoxes().find("This email is signed by Alice Example <alice@example.com>."),
            std::string::npos)
      << BobsBoxes();

  // Clear-signed: Bob's client verifies the text as it stands.
  UseScript("dialog 101 uncheck 1011; uncheck 1010; click 1\n");
  ASSERT_EQ(Send("Bob Example", "Signed only.\n"), 0);
  out = BobCalls(ReadFile(MailBody()), "", &rc, GetParam());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(BobSees(), "Signed only.\n");
  EXPECT_NE(BobsBoxes().find("This email is signed by Alice Example <alice@example.com>."),
            std::string::npos)
      << BobsBoxes();
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, OutgoingRoundTrip, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
