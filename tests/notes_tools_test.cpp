// The host's directory tools and its resolve command, run as the user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/notes_fixture.h"
#include "support/test_env.h"

namespace vptest {
namespace {

class NotesTools : public NotesFixture {
 protected:
  // Runs veilpost with `args` (shell words) and the test's data folder, from the folder `from`
  // (the data folder when empty); stdout and stderr.
  int Veilpost(const std::string& args, std::string* out = nullptr, std::string from = "") {
    if (from.empty()) from = data_;
    std::string text;
    int rc = RunCommand("cd '" + from + "' && VEILPOST_NOTES_DATA='" + data_ + "' '" +
                            VeilpostBinary() + "' " + args + " </dev/null 2>&1",
                        &text);
    if (out) *out = text;
    return rc;
  }
};

TEST_F(NotesTools, BuildAndShowADirectory) {
  std::string out;
  ASSERT_EQ(Veilpost("notes new-directory names.nsf", &out), 0) << out;
  ASSERT_EQ(Veilpost("notes add-person names.nsf 'CN=Bob Example/O=Acme' --short bob "
                     "--mail bob@example.com --first Robert --last Example",
                     &out),
            0)
      << out;
  ASSERT_EQ(
      Veilpost("notes add-group names.nsf 'Sales \"East\"' 'CN=Bob Example/O=Acme' Other", &out), 0)
      << out;
  ASSERT_EQ(Veilpost("notes add-group names.nsf Bare", &out), 0) << out;
  ASSERT_EQ(Veilpost("notes show names.nsf", &out), 0) << out;
  EXPECT_NE(out.find("FullName [flags 0x0044] text list: \"CN=Bob Example/O=Acme\"\n"
                     "  ShortName [flags 0x0004] text list: \"bob\"\n"
                     "  InternetAddress [flags 0x0004] text: \"bob@example.com\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("ListName [flags 0x0004] text: \"Sales \\\"East\\\"\""), std::string::npos);
  EXPECT_NE(out.find("Members [flags 0x0044] text list: \"CN=Bob Example/O=Acme\"; \"Other\""),
            std::string::npos);
  // The group made without members has no Members item at all.
  size_t bare = out.find("\"Bare\"");
  ASSERT_NE(bare, std::string::npos);
  EXPECT_EQ(out.find("Members", bare), std::string::npos);

  ASSERT_EQ(Veilpost("resolve '' 'bob;;sales \"east\";Zed;robert example'", &out), 0) << out;
  EXPECT_EQ(out, "Bob Example/Acme\nOther\nZed\n");
}

// Databases are named as Notes names them, wherever the tools are run from: a server's
// directory is where the resolution of a memo sent through that server looks for groups.
TEST_F(NotesTools, DatabasesAreNamedAsNotesNamesThem) {
  std::string out;
  auto elsewhere = [&](const std::string& args) { return Veilpost(args, &out, "/"); };
  ASSERT_EQ(elsewhere("notes new-directory names.nsf"), 0) << out;
  ASSERT_EQ(elsewhere("notes new-directory 'CN=Mail1/O=Acme!!names.nsf'"), 0) << out;
  ASSERT_EQ(elsewhere("notes add-group 'Mail1/Acme!!names.nsf' Sales 'CN=Ann/O=Acme' Ben"), 0)
      << out;
  EXPECT_TRUE(std::filesystem::exists(data_ + "/names.nsf"));
  ASSERT_EQ(elsewhere("resolve 'CN=Mail1/O=Acme' Sales"), 0) << out;
  EXPECT_EQ(out, "Ben\nAnn/Acme\n");                   // in the order of the names as stored
  ASSERT_EQ(elsewhere("resolve '' Sales"), 0) << out;  // the local directory has no such group
  EXPECT_EQ(out, "Sales\n");
}

TEST_F(NotesTools, BadInputFailsWithAMessage) {
  std::string out;
  ASSERT_EQ(Veilpost("notes new-directory names.nsf", &out), 0) << out;
  const std::pair<const char*, const char*> cases[] = {
      {"notes new-directory names.nsf", "File already exists"},
      {"notes add-person missing.nsf 'CN=A/O=B'", "File does not exist"},
      {"notes add-person names.nsf 'Bob/Acme'", "canonical form"},
      {"notes add-person names.nsf 'CN=Bob/Acme'", "is not KEY=value"},
      {"notes add-person names.nsf 'CN=Bob/O=Acme' --mail bob", "has no @"},
      {"notes add-group names.nsf '' x", "group name is empty"},
      {"notes show missing.nsf", "File does not exist"},
      {"resolve nosuchserver bob", "Notes error: File does not exist"},
  };
  for (const auto& [args, message] : cases) {
    EXPECT_NE(Veilpost(args, &out), 0) << args;
    EXPECT_NE(out.find(message), std::string::npos) << args << ": " << out;
  }
  EXPECT_NE(Veilpost("notes add-group names.nsf", &out), 0);  // usage error
  ASSERT_EQ(Veilpost("notes show names.nsf", &out), 0);
  EXPECT_EQ(out.find("class 0x0001"), std::string::npos) << out;  // nothing was added
}

}  // namespace
}  // namespace vptest
