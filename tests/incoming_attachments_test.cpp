// The attachment dialog with real GnuPG and real files: detach, view, keys, and the clean-up.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/incoming/attachment_files.h"
#include "hooklib/incoming/attachments.h"
#include "incoming_fixture.h"
#include "platform/process.h"
#include "pty_keyboard.h"
#include "support/registry_file.h"

namespace vptest {
namespace {

using Texts = std::vector<std::string>;
constexpr const char* kMemo = "Meet at noon.\nBring the papers.\n";

class Attachments : public IncomingBothVersions {
 protected:
  void SetUp() override {
    IncomingBothVersions::SetUp();
    if (IsSkipped()) return;
    vp::InitOrlavexImpl("9.0.1", "1.5.5");
    temp_ = vp::TempDirQuietly();
    work_ = temp_ + "/pgptemp";
    out_ = dir_ + "/out";
    std::filesystem::create_directories(out_);
  }
  // Puts each attachment where the mail script detaches it; returns the argument naming them.
  std::string Detached(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string list;
    for (const auto& [name, content] : files) {
      WriteFile(temp_ + "/" + name, content);
      list += (list.empty() ? "" : ",") + ("C:/Notes/" + name);
    }
    return list;
  }
  void ExpectAllGone(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& file : files) EXPECT_FALSE(PathExistsForTest(temp_ + "/" + file.first));
    EXPECT_FALSE(PathExistsForTest(work_));
  }
  Texts Listed() const {
    Texts names;
    for (const auto& e : Events("list-add")) names.push_back(e["text"]);
    return names;
  }
  std::string temp_, work_, out_;
};

TEST_P(Attachments, ListsAndDetachesEncryptedSignedAndPlainFilesByteForByte) {
  std::string binary;
  for (int i = 0; i < 40000; ++i) binary += static_cast<char>(i * 7 % 256);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.doc.pgp", FromAlice("--recipient bob@example.com --sign --encrypt", binary, false)},
      {"Notes.TXT.ASC", FromAlice("--sign", kMemo)},
      {"b.txt", binary}};
  vp::CopyText(vp::Settings().defaultDirectory, out_.c_str());
  // Cancelling the chooser for the first of three skips the other two; then all three go.
  UseScript(
      "dialog 102 select 1001 \"b.txt\"; select 1001 \"Notes.TXT\"; click 1012; click 1012;"
      " click 1004\nsave-as cancel\nsave-as a.doc\nsave-as b\nsave-as " +
      out_ + "/notes.txt\n" + BobTypes() + "message no\nmessage no\nmessage yes\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", Detached(files).c_str()), 0);

  EXPECT_EQ(Listed(), (Texts{"a.doc", "Notes.TXT", "b.txt"}));
  auto asked = Events("save-as");
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[1]["name"], "a.doc");
  EXPECT_EQ(asked[1]["extension"], "doc");
  EXPECT_EQ(asked[1]["folder"], out_);
  EXPECT_EQ(asked[2]["answer"], out_ + "/b.txt");  // the default extension added
  EXPECT_EQ(ReadFile(out_ + "/a.doc"), binary);
  EXPECT_EQ(ReadFile(out_ + "/b.txt"), binary);
  EXPECT_EQ(ReadFile(out_ + "/notes.txt"), kMemo);
  EXPECT_EQ(Boxes().back(), "Question: " + Format(145, ""));
  std::vector<bool> dialogEnabled;  // no second action while one runs
  for (const auto& e : Events("window-enable"))
    if (e["class"] == "#32770") dialogEnabled.push_back(e["enabled"]);
  EXPECT_EQ(dialogEnabled, (std::vector<bool>{false, true, false, true}));
  ASSERT_EQ(Events("shell").size(), 1u);
  EXPECT_EQ(Events("shell")[0]["path"], out_ + "/notes.txt");
  ExpectAllGone(files);
}

// Detach never loses the file it replaces; the clean-up wipes only the temporary folder's files.
TEST_P(Attachments, FailedDetachKeepsTheTargetAndCleanUpSparesFilesElsewhere) {
  std::string encrypted = FromAlice("--recipient bob@example.com --encrypt", kMemo);
  const std::vector<std::pair<std::string, std::string>> files = {{"r.pgp", encrypted},
                                                                  {"plain.txt", kMemo}};
  Detached(files);
  vp::Settings().bShowAttLaunchDialog = 0;
  WriteFile(out_ + "/r", "keep me");
  WriteFile(dir_ + "/r.pgp", "the user's own");
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  UseScript(
      "dialog 102 unselect-all; select-index 1001 1; click 1012; unselect-all;"
      " select-index 1001 0; click 1012; click 1004\nsave-as " +
      out_ + "/r\nsave-as " + out_ + "/plain.txt\ndialog 104 click 2\n");
  int rc = vp::DoDecryptAttachmentsImpl("Bob", ("r.pgp,plain.txt," + dir_ + "/r.pgp").c_str());
  std::filesystem::current_path(cwd);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(ReadFile(out_ + "/r"), "keep me");
  EXPECT_EQ(ReadFile(dir_ + "/r.pgp"), "the user's own");
  EXPECT_EQ(ReadFile(out_ + "/plain.txt"), kMemo);
  EXPECT_EQ(Boxes(), Texts{"Information: " + Format(146, out_ + "/plain.txt")});
  // The wait cursor shows while each file is decrypted or copied, the arrow before the box.
  Texts shown;
  for (const auto& e : Events()) {
    if (e["event"] == "cursor") shown.push_back(e["shape"]);
    if (e["event"] == "dialog-open" || e["event"] == "message") shown.push_back(e["event"]);
  }
  EXPECT_EQ(shown,
            (Texts{"dialog-open", "wait", "dialog-open", "arrow", "wait", "arrow", "message"}));
  Texts left;
  for (const auto& entry : std::filesystem::directory_iterator(out_))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Texts{"plain.txt", "r"}));
  ExpectAllGone(files);
}

// Detach of what cannot be decrypted fails and says why, leaving the chosen file as it was;
// only data that holds no OpenPGP at all is saved as it is, after saying so.
TEST_P(Attachments, DetachOfWhatCannotBeDecryptedKeepsTheChosenFile) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"carol.doc.pgp", FromAlice("--recipient carol@example.com --encrypt", kMemo, false)},
      {"notes.txt.pgp", "plain words, no OpenPGP here\n"}};
  std::string list = Detached(files);
  vp::Settings().bShowAttLaunchDialog = 0;
  WriteFile(out_ + "/report.doc", "keep me");
  WriteFile(out_ + "/notes.txt", "older");
  UseScript(
      "dialog 102 unselect-all; select 1001 \"carol.doc\"; click 1012; unselect-all;"
      " select 1001 \"notes.txt\"; click 1012; click 1004\nsave-as " +
      out_ + "/report.doc\nsave-as " + out_ + "/notes.txt\n" + BobTypes());
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", list.c_str()), 0);
  EXPECT_EQ(ReadFile(out_ + "/report.doc"), "keep me");
  EXPECT_EQ(ReadFile(out_ + "/notes.txt"), "plain words, no OpenPGP here\n");
  EXPECT_EQ(Boxes(), (Texts{"Error: " + Format(158, "file", "file"),
                            "Warning: " + Format(154, "notes.txt.pgp"),
                            "Information: " + Format(146, out_ + "/notes.txt")}));
  Texts left;
  for (const auto& entry : std::filesystem::directory_iterator(out_))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Texts{"notes.txt", "report.doc"}));
  ExpectAllGone(files);
}

// Entries name files by their part after the last "\\" or "/": a Windows path finds the file
// the script detached, and a part that names a folder ("", ".", "..") is never used; a display
// name that would be one is refused for viewing.
TEST_P(Attachments, OnlyPlainFileNamePartsArePathsInTheTemporaryFolder) {
  WriteFile(temp_ + "/report.doc", kMemo);
  WriteFile(temp_ + "/...pgp", kMemo);
  UseScript("dialog 102 unselect-all; select 1001 \"..\"; click 1014; click 1004\n");
  const std::string list = "C:\\Notes\\report.doc,x\\..\\..\\..,C:\\Notes\\...pgp,.";
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", list.c_str()), 0);
  EXPECT_EQ(Listed(), (Texts{"report.doc", ".."}));
  EXPECT_EQ(Boxes(), Texts{"Error: The attachment \"...pgp\" cannot be viewed: its name is not a "
                           "file name."});
  EXPECT_TRUE(Events("shell").empty());
  EXPECT_FALSE(PathExistsForTest(temp_ + "/report.doc"));
  EXPECT_FALSE(PathExistsForTest(temp_ + "/...pgp"));
  EXPECT_TRUE(std::filesystem::is_directory(temp_));
  EXPECT_FALSE(PathExistsForTest(work_));
}

// The work folder holds decrypted view copies: while the dialog is open nobody else may even
// list it. Another thread watches the folder's mode for as long as the operation runs.
TEST_P(Attachments, WorkFolderIsPrivateWhileTheDialogIsOpen) {
  std::string encrypted = FromAlice("--recipient bob@example.com --encrypt", kMemo);
  const std::vector<std::pair<std::string, std::string>> files = {{"x.pgp", encrypted},
                                                                  {"p.txt", kMemo}};
  std::string list = Detached(files);
  UseScript("dialog 102 select 1001 \"x\"; click 1014; click 1004\n" + BobTypes() +
            "shell 42\nshell 42\n");
  std::atomic<bool> done{false};
  std::atomic<unsigned> modes{0};
  std::atomic<bool> seen{false};
  std::thread watcher([&] {
    while (!done) {
      struct stat st;
      if (stat(work_.c_str(), &st) == 0) {
        seen = true;
        modes |= st.st_mode & 07777;
      }
      std::this_thread::yield();
    }
  });
  int rc = vp::DoDecryptAttachmentsImpl("Bob", list.c_str());
  done = true;
  watcher.join();
  ASSERT_EQ(rc, 0);
  Texts opened;
  for (const auto& e : Events("shell")) opened.push_back(e["path"]);
  EXPECT_EQ(opened, (Texts{work_ + "/p.txt", work_ + "/x"}));
  ASSERT_TRUE(seen) << "the work folder was never there";
  EXPECT_EQ(modes.load(), 0700u) << std::oct << modes.load();
  ExpectAllGone(files);
}

// Detach writes beside the chosen target, so a folder on another file system than the
// temporary folder is no different.
TEST_P(Attachments, DetachToAnotherFileSystem) {
  std::string mounted = dir_ + "/elsewhere";
  std::filesystem::create_directories(mounted);
  if (geteuid() != 0 ||
      RunCommand("mount -t tmpfs -o size=4m,mode=0700 tmpfs '" + mounted + "' 2>/dev/null") != 0) {
    GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root and the mount capability)";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { RunCommand("umount '" + path + "'"); }
  } unmount{mounted};
  struct stat a, b;
  ASSERT_EQ(stat(mounted.c_str(), &a), 0);
  ASSERT_EQ(stat(temp_.c_str(), &b), 0);
  ASSERT_NE(a.st_dev, b.st_dev) << "the mount did not give another file system";

  std::string encrypted = FromAlice("--recipient bob@example.com --encrypt", kMemo);
  const std::vector<std::pair<std::string, std::string>> files = {{"r.pgp", encrypted},
                                                                  {"plain.txt", kMemo}};
  std::string list = Detached(files);
  vp::Settings().bShowAttLaunchDialog = 0;
  UseScript(
      "dialog 102 unselect-all; select-index 1001 1; click 1012; unselect-all;"
      " select-index 1001 0; click 1012; click 1004\nsave-as " +
      mounted + "/r\n" + BobTypes() + "save-as " + mounted + "/plain.txt\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", list.c_str()), 0);
  EXPECT_EQ(ReadFile(mounted + "/r"), kMemo);
  EXPECT_EQ(ReadFile(mounted + "/plain.txt"), kMemo);
  Texts left;
  for (const auto& entry : std::filesystem::directory_iterator(mounted))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Texts{"plain.txt", "r"})) << "no scratch file stays behind";
  ExpectAllGone(files);
}

TEST_P(Attachments, ViewCopiesAreOpenedByDisplayNameAndGoWhenTheDialogCloses) {
  std::string encrypted = FromAlice("--recipient bob@example.com --encrypt", kMemo);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"x.pgp", encrypted}, {"y.GPG", encrypted}, {"z.asc", encrypted}, {"p.txt", kMemo}};
  std::string list = Detached(files);
  // The plain file, listed first, is selected from the start; its second view stops the run.
  UseScript(
      "dialog 102 select 1001 \"x\"; select 1001 \"y\"; select 1001 \"z\"; click 1014;"
      " click 1014; click 1004\n" +
      BobTypes() + "shell 42\nshell 31\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", list.c_str()), 0);

  Texts opened;
  for (const auto& e : Events("shell")) opened.push_back(e["path"]);
  EXPECT_EQ(opened, (Texts{work_ + "/p.txt", work_ + "/x", work_ + "/y", work_ + "/z"}));
  const Texts boxes = Boxes();
  // The shell's failure is told; the second copy of the plain file is refused, not rewritten.
  EXPECT_NE(std::find(boxes.begin(), boxes.end(),
                      "Error: There is no application associated with the given filename "
                      "extension."),
            boxes.end());
  EXPECT_NE(std::find(boxes.begin(), boxes.end(),
                      "Error: " + work_ + "/p.txt cannot be opened for writing!"),
            boxes.end());
  ExpectAllGone(files);
}

// The sender names the attachments: the list, the view copy and every box show the names with
// their control characters escaped, so none reads as more than one line or backwards. (GnuPG
// itself never gets a name with a line break.)
TEST_P(Attachments, NamesAreShownEscaped) {
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", kMemo);
  const std::vector<std::pair<std::string, std::string>> files = {{"invoice\nPS: pay.pdf", kMemo},
                                                                  {"bill\xe2\x80\xae"
                                                                   "fdp.exe.pgp",
                                                                   encrypted}};
  UseScript("dialog 102 unselect-all; select-index 1001 0; click 1014; click 1004\n" + BobTypes() +
            "shell 42\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", Detached(files).c_str()), 0);
  EXPECT_EQ(Listed(), (Texts{"invoice\\nPS: pay.pdf", "bill\\u202Efdp.exe"}));
  ASSERT_EQ(Events("shell").size(), 1u) << RawLog();
  EXPECT_EQ(Events("shell")[0]["path"], work_ + "/bill_u202Efdp.exe");
  EXPECT_EQ(Boxes(), Texts{"Information: " + SignedBox(Format(163, "file", "bill\\u202Efdp.exe.pgp",
                                                              "Alice Example <alice@example.com>"),
                                                       alice_, "alice@example.com")});
  ExpectAllGone(files);
}

TEST_P(Attachments, HeldViewCopyAsksRetryOrCancel) {
  ASSERT_EQ(vp::CreateTempWorkDir(), 0);
  const std::string copy = work_ + "/v.doc";
  WriteFile(copy, kMemo);
  ASSERT_EQ(chmod(copy.c_str(), 0400), 0);
  int held = open(copy.c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  UseScript("message retry\nmessage cancel\n");
  vp::RemoveViewCopies("v.doc.pgp,w.txt");
  auto warnings = Events("message");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0]["caption"], "Warning");
  EXPECT_EQ(warnings[0]["buttons"], "retrycancel");
  EXPECT_NE(warnings[0]["text"].get<std::string>().find("\"" + copy + "\""), std::string::npos);
  EXPECT_EQ(ReadFile(copy), kMemo);

  close(held);
  vp::RemoveViewCopies("v.doc.pgp");
  EXPECT_EQ(Events("message").size(), 2u);
  EXPECT_FALSE(PathExistsForTest(work_));
}

TEST_P(Attachments, ProcessKeysBeforeAndAfterDecryptionAndWithNone) {
  std::string key = ExportKey(erin_, "erin@example.org");
  const std::vector<std::pair<std::string, std::string>> files = {
      {"erin.asc", key},
      {"k.pgp", FromAlice("--recipient bob@example.com --encrypt", key)},
      {"none.txt", kMemo}};
  std::string list = Detached(files);
  UseScript("dialog 102 select 1001 \"k\"; select 1001 \"none.txt\"; click 1013; click 1004\n" +
            BobTypes() + "dialog 106 click 1004\ndialog 106 click 1004\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", list.c_str()), 0);

  Texts titles;
  for (const auto& e : Events("set-title")) titles.push_back(e["text"]);
  EXPECT_EQ(titles, (Texts{vp::MessageString(157), vp::MessageString(157)}));
  EXPECT_EQ(
      Boxes(),
      (Texts{"Warning: " + Format(151, "file", "erin.asc"), "Warning: " + Format(154, "erin.asc"),
             "Warning: " + Format(151, "file", "k.pgp"), "Warning: " + Format(155, "none.txt")}));
  std::string listing;
  EXPECT_NE(Gpg(version_, bob_, "--list-keys erin@example.org", &listing), 0) << "imported";
  ExpectAllGone(files);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, Attachments, testing::ValuesIn(kEveryGnuPG), VersionName);

// A person on a terminal: the view copy a program is shown holds the plaintext, cannot be written
// and is gone after the dialog; the save-as chooser confirms before it replaces a file.
TEST_F(IncomingFixture, OnTheTerminalViewCopyAndSaveAs) {
  StartWith(GnuPG::k1);
  WriteConfigKey({Str("GpgProgramPath", GnuPGProgram(GnuPG::k1))});
  vp::InitOrlavexImpl("9.0.1", "1.5.5");
  const std::string temp = vp::TempDirQuietly(), out = dir_ + "/out/p.txt", seen = dir_ + "/seen";
  WriteFile(temp + "/x.pgp", FromAlice("--recipient bob@example.com --encrypt", kMemo));
  WriteFile(temp + "/p.txt", "plain");
  std::filesystem::create_directories(dir_ + "/out");
  WriteFile(out, "older");
  // What the desktop would open, standing in for it: how the file looked when it was shown.
  std::filesystem::create_directories(dir_ + "/bin");
  WriteFile(dir_ + "/bin/xdg-open",
            "#!/bin/sh\n{ stat -c %a \"$1\"; cat \"$1\"; } >>" + seen + "\n");
  chmod((dir_ + "/bin/xdg-open").c_str(), 0755);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    unsetenv("VEILPOST_UI");
    setenv("PATH", (dir_ + "/bin:" + getenv("PATH")).c_str(), 1);
    std::string bin = VeilpostBinary();
    execl(bin.c_str(), bin.c_str(), "call", "DoDecryptAttachments", "Bob", "C:/N/x.pgp,C:/N/p.txt",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  Keyboard keys(master);
  const std::string choose = "(Enter: Detach, q: close): ";
  const std::pair<std::string, std::string> steps[] = {
      {choose, "1\n"},
      {"Item numbers: ", "2\n"},
      {choose, "3\n"},  // View x
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", std::string(Bob().passphrase) + "\n"},
      {"(Enter: OK, q: close): ", "\n"},
      {"\"x.pgp\" is not signed!", ""},
      {"Press Enter to continue: ", "\n"},
      {"Opening " + temp + "/pgptemp/x with xdg-open.", ""},
      {choose, "1\n"},
      {"Item numbers: ", "1\n"},
      {choose, "2\n"},  // Detach p.txt
      {"Proposed name: p.txt", ""},
      {"Path (Enter: proposed name, c: cancel): ", out + "\n"},
      {out + " already exists. Replace it? [y/n]: ", "n\n"},
      {"Path (Enter: proposed name, c: cancel): ", out + "\n"},
      {"Replace it? [y/n]: ", "y\n"},
      {"Answer [y/n]: ", "y\n"},
      {"Opening " + out + " with xdg-open.", ""},
      {choose, "q\n"}};
  bool ok = true;
  for (const auto& [shown, typed] : steps) {
    if (!(ok = keys.WaitFor(shown))) break;
    if (!typed.empty()) keys.Type(typed);
  }
  if (!ok) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  ASSERT_TRUE(ok) << keys.Screen();
  EXPECT_EQ(ReadFile(seen), std::string("400\n") + kMemo + "600\nplain") << keys.Screen();
  EXPECT_EQ(ReadFile(out), "plain");
  EXPECT_FALSE(PathExistsForTest(temp + "/pgptemp"));
  EXPECT_FALSE(PathExistsForTest(temp + "/x.pgp"));
}

// Something that is not the user's own closed folder under the work folder's name: the dialog
// is not shown, one message says why, nothing else is told at the close, and the detached files
// still go.
TEST_F(IncomingFixture, AWorkFolderThatIsNotOursMeansNoDialogAndOneMessage) {
  vp::InitialSharedSettings(&vp::Settings());
  vp::InitOrlavexImpl("9.0.1", "1.5.5");
  const std::string temp = vp::TempDirQuietly(), work = temp + "/pgptemp";
  WriteFile(work, "not a folder");
  WriteFile(temp + "/x.pgp", "ciphertext");
  UseScript("dialog 102 select-index 1001 0; click 1014; click 1004\n");
  ASSERT_EQ(vp::DoDecryptAttachmentsImpl("Bob", "x.pgp"), 0);
  EXPECT_EQ(Boxes(),
            std::vector<std::string>{"Error: The work folder " + work + " is not a folder."});
  EXPECT_TRUE(Events("dialog-open").empty());
  EXPECT_EQ(ReadFile(work), "not a folder");
  EXPECT_FALSE(PathExistsForTest(temp + "/x.pgp"));
  std::filesystem::remove(work);

  std::filesystem::create_directory(work);
  std::filesystem::permissions(work, std::filesystem::perms::all);
  WriteFile(temp + "/x.pgp", "ciphertext");
  WriteFile(log_, "");
  EXPECT_EQ(vp::DoDecryptAttachmentsImpl("Bob", "x.pgp"), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: The work folder " + work +
                                              " can be changed by other users."});
  EXPECT_TRUE(Events("dialog-open").empty());
  EXPECT_FALSE(PathExistsForTest(temp + "/x.pgp"));
  std::filesystem::remove(work);
}

TEST_F(IncomingFixture, ShellResultsAndDefaultExtensions) {
  EXPECT_EQ(vp::DefaultExtension("archive.tar.gz"), "tar");
  EXPECT_EQ(vp::DefaultExtension("report.doc"), "doc");
  EXPECT_EQ(vp::DefaultExtension("README"), "");
  UseScript("shell 2\nshell 33\nshell 12\n");
  for (int i = 0; i < 3; ++i) vp::OpenWithShell("/x/y.doc");
  EXPECT_EQ(Boxes(), Texts{"Error: The specified file was not found."});

  // Without xdg-open nothing can open the file.
  const std::string path = getenv("PATH");
  setenv("PATH", dir_.c_str(), 1);
  int result = vp::OpenWithDesktop(dir_ + "/y.doc");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(result, vp::kShellNoAssociation);
}

}  // namespace
}  // namespace vptest
