// The round trip: what Alice's DoEncrypt writes, Bob's DoDecryptBody opens in a process of his
// own (his key ring, settings and temporary folder), with Alice reported as the signer.
#include <gtest/gtest.h>

#include <filesystem>

#include "outgoing_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

class OutgoingRoundTrip : public OutgoingFixture {
 protected:
  // Bob's client opens a memo whose body is `received`; returns what `veilpost call` printed.
  // His answers and transcript are his own.
  std::string BobCalls(const std::string& received, const std::string& attachments, int* rc) {
    std::string bobDir = dir_ + "/bob";
    fs::create_directories(bobDir + "/tmp");
    WriteFile(bobDir + "/body", received);
    WriteFile(bobDir + "/answers",
              "dialog 104 type 1005 " + std::string(Bob().passphrase) + "; click 1\n");
    WriteFile(bobDir + "/registry.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
              "\"GpgProgramPath\"=\"" +
                  std::string(GnuPGProgram(GetParam())) + "\"\r\n\"UseAgent\"=dword:00000000\r\n");
    fs::remove(bobDir + "/ui.log");
    std::string env = "GNUPGHOME='" + bob_ + "' TMPDIR='" + bobDir + "/tmp' TMP='" + bobDir +
                      "/tmp' VEILPOST_REGISTRY='" + bobDir + "/registry.reg' VEILPOST_SEGMENT='" +
                      SegmentName() + "-bob' VEILPOST_UI='script:" + bobDir +
                      "/answers' VEILPOST_UI_LOG='" + bobDir + "/ui.log' ";
    std::string out;
    *rc = RunCommand(env + VeilpostBinary() + " call DoDecryptBody 'Bob Example/Acme' @" + bobDir +
                         "/body '" + attachments + "' 2>&1",
                     &out);
    return out;
  }
  std::string BobSees() { return ReadFile(dir_ + "/bob/tmp/mailbody.pgp"); }
  std::string BobsBoxes() {
    std::string boxes;
    std::string log = ReadFile(dir_ + "/bob/ui.log");
    for (size_t at = log.find("\"event\":\"message\""); at != std::string::npos;
         at = log.find("\"event\":\"message\"", at + 1))
      boxes += log.substr(at, log.find('\n', at) - at) + "\n";
    return boxes;
  }
};

TEST_P(OutgoingRoundTrip, BobOpensEncryptedAndClearSignedMemosFromAlice) {
  std::string attachment = dir_ + "/minutes.txt";
  WriteFile(attachment, "minutes\n");
  const std::string body = "Dear team,\nthe minutes are attached.\n";
  UseScript("dialog 101 click 1\ndialog 103 type 1005 alice-pass; click 1\n");
  ASSERT_EQ(Send("Bob Example;Team", body, attachment), 16);

  int rc = 0;
  std::string out = BobCalls(ReadFile(MailBody()), "minutes.txt.pgp", &rc);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(BobSees(), body + "[Attachment: minutes.txt]\n");
  EXPECT_NE(BobsBoxes().find("This email is signed by Alice Example <alice@example.com>."),
            std::string::npos)
      << BobsBoxes();

  // Clear-signed: Bob's client verifies the text as it stands.
  UseScript("dialog 101 uncheck 1011; uncheck 1010; click 1\n");
  ASSERT_EQ(Send("Bob Example", "Signed only.\n"), 0);
  out = BobCalls(ReadFile(MailBody()), "", &rc);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(BobSees(), "Signed only.\n");
  EXPECT_NE(BobsBoxes().find("This email is signed by Alice Example <alice@example.com>."),
            std::string::npos)
      << BobsBoxes();
}

INSTANTIATE_TEST_SUITE_P(BothVersions, OutgoingRoundTrip, testing::Values(GnuPG::k1, GnuPG::k2),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
