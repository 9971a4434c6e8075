// The secure wipe and the temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "hooklib/core/temp_files.h"
#include "platform/faults.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace {

class CoreWipe : public testing::Test {
 protected:
  void SetUp() override { dir_ = vptest::FreshDir("wipe"); }
  void TearDown() override { vp::SetFaults(""); }
  std::string dir_;
};

TEST_F(CoreWipe, OverwritesTheWholeContentBeforeDeleting) {
  std::string file = dir_ + "/plain.txt";
  std::string witness = dir_ + "/witness";
  vptest::WriteFile(file, "0123456789");
  // A second name for the same data shows what the wipe left on the disk.
  fs::create_hard_link(file, witness);
  EXPECT_EQ(vp::WipeFile(file.c_str()), 0);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(vptest::ReadFile(witness), std::string(10, '\xAA'));
}

TEST_F(CoreWipe, LargeFilesAreWipedWhole) {
  std::string file = dir_ + "/big.bin";
  std::string witness = dir_ + "/big.witness";
  vptest::WriteFile(file, std::string(3 * 1024 * 1024 + 17, 'p'));
  fs::create_hard_link(file, witness);
  EXPECT_EQ(vp::WipeFile(file.c_str()), 0);
  std::string left = vptest::ReadFile(witness);
  EXPECT_EQ(left.size(), 3u * 1024 * 1024 + 17);
  EXPECT_EQ(left.find_first_not_of('\xAA'), std::string::npos);
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

TEST_F(CoreWipe, AFailedMappingReportsAndStillDeletes) {
  std::string file = dir_ + "/unmappable";
  vptest::WriteFile(file, "secret");
  vp::SetFaults("files.map@1");
  EXPECT_EQ(vp::WipeFile(file.c_str()), -1);
  EXPECT_FALSE(fs::exists(file));
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
  setenv("TMPDIR", saved.c_str(), 1);
}

}  // namespace
