// The secure wipe and the temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hooklib/core/temp_files.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "support/test_env.h"
#include "ui_fixture.h"

namespace fs = std::filesystem;

namespace {

// Reads what the descriptor shows from the start, then closes it.
std::string ReadAll(int fd) {
  std::string data;
  char buf[65536];
  ssize_t n;
  for (off_t at = 0; (n = pread(fd, buf, sizeof buf, at)) > 0; at += n) data.append(buf, n);
  close(fd);
  return data;
}

class CoreWipe : public testing::Test {
 protected:
  void SetUp() override { dir_ = vptest::FreshDir("wipe"); }
  void TearDown() override { vp::SetFaults(""); }
  std::string dir_;
};

TEST_F(CoreWipe, OverwritesTheWholeContentBeforeDeleting) {
  std::string file = dir_ + "/plain.txt";
  vptest::WriteFile(file, "0123456789");
  // A descriptor opened before the wipe shows what the wipe left on the disk.
  int witness = open(file.c_str(), O_RDONLY);
  EXPECT_EQ(vp::WipeFile(file.c_str()), 0);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(ReadAll(witness), std::string(10, '\xAA'));
}

TEST_F(CoreWipe, LargeFilesAreWipedWhole) {
  std::string file = dir_ + "/big.bin";
  vptest::WriteFile(file, std::string(9 * 1024 * 1024 + 17, 'p'));
  int witness = open(file.c_str(), O_RDONLY);
  EXPECT_EQ(vp::WipeFile(file.c_str()), 0);
  std::string left = ReadAll(witness);
  EXPECT_EQ(left.size(), 9u * 1024 * 1024 + 17);
  EXPECT_EQ(left.find_first_not_of('\xAA'), std::string::npos);
}

// Each pass is complete and on the disk before the next begins.
TEST_F(CoreWipe, TwoPassesEachFlushed) {
  struct Seen {
    std::vector<std::string> steps;
  } seen;
  vp::SetWipeObserver(
      [](vp::WipeStep step, unsigned char byte, int fd, void* context) {
        std::string content = ReadAll(dup(fd));
        bool uniform = !content.empty() &&
                       content.find_first_not_of(static_cast<char>(byte)) == std::string::npos;
        static_cast<Seen*>(context)->steps.push_back(step == vp::WipeStep::kFlushed
                                                         ? "flush"
                                                         : (uniform ? "fill " : "partial ") +
                                                               std::to_string(byte));
      },
      &seen);
  std::string file = dir_ + "/plain.txt";
  vptest::WriteFile(file, "secret words");
  EXPECT_EQ(vp::WipeFile(file.c_str()), 0);
  vp::SetWipeObserver(nullptr, nullptr);
  EXPECT_EQ(seen.steps, (std::vector<std::string>{"fill 85", "flush", "fill 170", "flush"}));
}

// A name planted by someone else, or a second name of someone's file, loses its name only.
TEST_F(CoreWipe, OnlyOwnSingleNamedFilesAreWrittenInto) {
  std::string target = dir_ + "/their-file";
  std::string planted = dir_ + "/mailbody.pgp";
  vptest::WriteFile(target, "their data");
  fs::create_hard_link(target, planted);
  EXPECT_EQ(vp::WipeFile(planted.c_str()), 0);
  EXPECT_FALSE(fs::exists(planted));
  EXPECT_EQ(vptest::ReadFile(target), "their data");

  if (geteuid() == 0) {
    vptest::WriteFile(planted, "their data");
    ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
    int witness = open(planted.c_str(), O_RDONLY);
    EXPECT_EQ(vp::WipeFile(planted.c_str()), 0);
    EXPECT_FALSE(fs::exists(planted));
    EXPECT_EQ(ReadAll(witness), "their data");
  }
}

// A read-only file of the user is overwritten all the same. Run as an ordinary user, for whom
// the mode counts.
// The folder lies in /tmp: the ordinary user may not reach into the checkout's folders.
TEST_F(CoreWipe, ReadOnlyFilesAreOverwritten) {
  char top[] = "/tmp/vpw-XXXXXX";
  ASSERT_NE(mkdtemp(top), nullptr);
  ASSERT_EQ(chmod(top, 0711), 0);
  const std::string folder = std::string(top) + "/readonly";
  const std::string file = folder + "/plain.txt";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 &&
        (chown(folder.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(2);
    vptest::WriteFile(file, "secret");
    int witness = open(file.c_str(), O_RDONLY);
    if (chmod(file.c_str(), 0400) != 0) _exit(3);
    if (vp::WipeFile(file.c_str()) != 0 || fs::exists(file)) _exit(4);
    _exit(ReadAll(witness) == std::string(6, '\xAA') ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  fs::remove_all(top);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A link loses its name, never its target; a FIFO, socket, device or folder is not the user's
// file to remove: it stays, and the wipe says so (-1). Nothing blocks on any of them.
TEST_F(CoreWipe, OnlyFilesAreRemovedAndALinkNeverTakesItsTarget) {
  std::string fifo = dir_ + "/fifo";
  std::string link = dir_ + "/link";
  std::string target = dir_ + "/target";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(vp::WipeFile(fifo.c_str()), -1);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  EXPECT_EQ(vp::WipeFile(dir_.c_str()), -1);
  EXPECT_TRUE(fs::is_directory(dir_));

  fs::create_symlink(fifo, link);
  EXPECT_EQ(vp::WipeFile(link.c_str()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

  vptest::WriteFile(target, "not mine");
  fs::create_symlink(target, link);
  EXPECT_EQ(vp::WipeFile(link.c_str()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_EQ(vptest::ReadFile(target), "not mine");

  // A device: as the administrator the wipe could otherwise take /dev/null itself.
  fs::create_symlink("/dev/null", link);
  EXPECT_EQ(vp::WipeFile("/dev/null"), -1);
  EXPECT_EQ(vp::WipeFile(link.c_str()), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  if (geteuid() == 0) {
    std::string device = dir_ + "/null";
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    EXPECT_EQ(vp::WipeFile(device.c_str()), -1);
    EXPECT_TRUE(fs::is_character_file(device));
  }
}

TEST_F(CoreWipe, MissingEmptyAndHeldFiles) {
  EXPECT_EQ(vp::WipeFile((dir_ + "/missing").c_str()), 0);

  std::string empty = dir_ + "/empty";
  vptest::WriteFile(empty, "");
  EXPECT_EQ(vp::WipeFile(empty.c_str()), 0);
  EXPECT_FALSE(fs::exists(empty));

  // Another holder keeps its file: nothing is overwritten or deleted.
  std::string held = dir_ + "/held";
  vptest::WriteFile(held, "secret");
  int fd = open(held.c_str(), O_RDONLY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(vp::WipeFile(held.c_str()), 0);
  close(fd);
  EXPECT_EQ(vptest::ReadFile(held), "secret");
}

TEST_F(CoreWipe, AFailedWriteReportsAndStillDeletes) {
  std::string file = dir_ + "/unwritable";
  for (const char* plan : {"files.overwrite@1", "files.overwrite@2", "files.flush@1"}) {
    vptest::WriteFile(file, "secret");
    vp::SetFaults(plan);
    EXPECT_EQ(vp::WipeFile(file.c_str()), -1) << plan;
    EXPECT_FALSE(fs::exists(file)) << plan;
  }
}

// A sparse file on a full file system cannot be overwritten: the wipe says so, deletes it, and
// the process lives on.
TEST_F(CoreWipe, FullFileSystemIsReportedAndTheFileStillGoes) {
  std::string mount = dir_ + "/small";
  ASSERT_EQ(mkdir(mount.c_str(), 0700), 0);
  if (vptest::RunCommand("mount -t tmpfs -o size=256k tmpfs '" + mount + "' 2>/dev/null") != 0)
    GTEST_SKIP() << "cannot mount a small file system here; fault injection covers this path";
  struct Unmount {
    std::string at;
    ~Unmount() { vptest::RunCommand("umount '" + at + "'"); }
  } unmount{mount};
  std::string sparse = mount + "/sparse";
  vptest::WriteFile(sparse, "");
  ASSERT_EQ(truncate(sparse.c_str(), 8 << 20), 0);
  vptest::RunCommand("dd if=/dev/zero of='" + mount + "/fill' bs=4k 2>/dev/null");
  EXPECT_EQ(vp::WipeFile(sparse.c_str()), -1);
  EXPECT_FALSE(fs::exists(sparse));
}

TEST_F(CoreWipe, TempDirHasNoTrailingSeparatorAndWorkDirIsMade) {
  std::string saved = getenv("TMPDIR");
  setenv("TMPDIR", (dir_ + "/").c_str(), 1);
  EXPECT_EQ(std::string(vp::GetTempDir()), dir_);
  EXPECT_EQ(std::string(vp::GetTempDir()), dir_);
  EXPECT_EQ(vp::CreateTempWorkDir(), 0);
  EXPECT_TRUE(fs::is_directory(dir_ + "/pgptemp"));
  EXPECT_EQ(vp::CreateTempWorkDir(), 0);  // already there: no message, 0

  setenv("TMPDIR", (dir_ + "/no/such/parent").c_str(), 1);
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);

  // Refused rather than cut to another, existing folder.
  setenv("TMPDIR", (dir_ + "/" + std::string(300, 'x')).c_str(), 1);
  EXPECT_STREQ(vp::GetTempDir(), "");
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);
  setenv("TMPDIR", saved.c_str(), 1);
}

// The temporary folders as the library's start-up and the attachment dialog meet them; what the
// user is told is read from the transcript.
class CoreTempFolders : public vptest::UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    saved_tmpdir_ = getenv("TMPDIR");
    saved_tmp_ = getenv("TMP");
    temp_ = dir_ + "/tmpdir";
    ASSERT_EQ(mkdir(temp_.c_str(), 0700), 0);
    setenv("TMPDIR", temp_.c_str(), 1);
  }
  void TearDown() override {
    setenv("TMPDIR", saved_tmpdir_.c_str(), 1);
    setenv("TMP", saved_tmp_.c_str(), 1);
    UiFixture::TearDown();
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& e : Events("message"))
      texts.push_back(e["caption"].get<std::string>() + ": " + e["text"].get<std::string>());
    return texts;
  }
  std::string saved_tmpdir_, saved_tmp_, temp_;
};

// At start-up only the scratch names the library makes are swept, and only a dead process's:
// a package, notes or settings file that merely begins with "veilpost" is the user's.
TEST_F(CoreTempFolders, TheLeftoverSweepTakesOnlyItsOwnScratchNames) {
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  const std::string d = std::to_string(dead);
  const std::string tmp = dir_ + "/tmp";
  ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
  setenv("TMP", tmp.c_str(), 1);
  const std::string work = temp_ + "/pgptemp";
  ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
  const std::vector<std::string> users = {"veilpost_1.5.5_amd64.deb", "veilpost-notes.txt",
                                          "veilpostrc", "veilpost" + d + "-3.txt", "veilpost"};
  const std::vector<std::string> scratch = {"veilpost" + d + "-3", "veilpost" + d + "-3~",
                                            "veilpost" + d + "-12.tmp"};
  const std::string live = "veilpost" + std::to_string(getpid() == 1 ? 1 : getppid()) + "-5";
  for (const std::string& folder : {temp_, tmp, work}) {
    for (const std::string& name : users) vptest::WriteFile(folder + "/" + name, "user data");
    for (const std::string& name : scratch) vptest::WriteFile(folder + "/" + name, "plaintext");
    vptest::WriteFile(folder + "/" + live, "in use");
  }
  int witness = open((work + "/" + scratch[0]).c_str(), O_RDONLY);

  vp::WipeLeftovers();

  for (const std::string& folder : {temp_, tmp, work}) {
    for (const std::string& name : users)
      EXPECT_EQ(vptest::ReadFile(folder + "/" + name), "user data") << folder << "/" << name;
    for (const std::string& name : scratch)
      EXPECT_FALSE(fs::exists(folder + "/" + name)) << folder << "/" << name;
    EXPECT_EQ(vptest::ReadFile(folder + "/" + live), "in use");
  }
  EXPECT_EQ(ReadAll(witness), std::string(9, '\xAA')) << "wiped, not merely deleted";
  EXPECT_TRUE(Events("message").empty());
}

// The work folder for decrypted attachments is refused unless it is the user's own folder that
// no one else can change; the temporary folder likewise.
TEST_F(CoreTempFolders, AWorkFolderOthersMadeOrCanChangeIsRefused) {
  const std::string work = temp_ + "/pgptemp";
  vptest::WriteFile(work, "a file");
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);
  EXPECT_EQ(vptest::ReadFile(work), "a file");
  fs::remove(work);
  const std::string elsewhere = dir_ + "/elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  fs::create_directory_symlink(elsewhere, work);
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);
  fs::remove(work);
  ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
  ASSERT_EQ(chmod(work.c_str(), 0777), 0);
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         "Error: The work folder " + work + " is not a folder.",
                         "Error: The work folder " + work + " is a link, not a folder.",
                         "Error: The work folder " + work + " can be changed by other users."}));
  ASSERT_EQ(chmod(work.c_str(), 0700), 0);
  EXPECT_EQ(vp::CreateTempWorkDir(), 0);

  // A shared temporary folder is refused before anything is written to it.
  ASSERT_EQ(chmod(temp_.c_str(), 01777), 0);
  EXPECT_STREQ(vp::GetTempDir(), "");
  EXPECT_EQ(vp::CreateTempWorkDir(), -1);
  ASSERT_EQ(chmod(temp_.c_str(), 0700), 0);
  EXPECT_EQ(Boxes().back(),
            "Error: The temporary folder " + temp_ + " can be changed by other users.");
}

// A FIFO under a name the library writes is neither written through nor replaced.
TEST_F(CoreTempFolders, AFifoUnderAWrittenNameStaysAndIsToldOnce) {
  const std::string body = temp_ + "/mailbody.pgp";
  ASSERT_EQ(mkfifo(body.c_str(), 0600), 0);
  EXPECT_EQ(vp::WritePrivateFile(body, "ciphertext", 10), -1);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(body)));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error: " + body +
                                              " is not a regular file; it was left as it is."});
  for (const auto& entry : fs::directory_iterator(temp_))
    EXPECT_EQ(entry.path().filename(), "mailbody.pgp") << "no scratch file is left";
}

}  // namespace
