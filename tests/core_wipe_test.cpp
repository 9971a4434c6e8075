// The secure wipe and the temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// Names planted in a shared temporary folder: removed without being opened for reading, so
// neither a FIFO nor a link to one can stall the caller, and a link's target is left alone.
TEST_F(CoreWipe, FifosAndLinksAreRemovedWithoutBlocking) {
  std::string fifo = dir_ + "/fifo";
  std::string link = dir_ + "/link";
  std::string target = dir_ + "/target";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(vp::WipeFile(fifo.c_str()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(fifo)));

  ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
  fs::create_symlink(target, link);
  EXPECT_EQ(vp::WipeFile(link.c_str()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_TRUE(fs::exists(fs::symlink_status(target)));

  fs::remove(target);
  vptest::WriteFile(target, "not mine");
  fs::create_symlink(target, link);
  EXPECT_EQ(vp::WipeFile(link.c_str()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_EQ(vptest::ReadFile(target), "not mine");
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

}  // namespace
