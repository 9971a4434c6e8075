// Tests of the files port: temporary paths, exclusive unique files and the mapped wipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

#include "platform/faults.h"
#include "platform/files.h"
#include "support/test_env.h"

namespace {

// Restores an environment variable when the test ends.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    if (had_) value_ = value;
  }
  ~EnvGuard() {
    if (had_) {
      setenv(name_, value_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

std::string ReadAt(int fd, size_t size) {
  std::string data(size, '\0');
  ssize_t n = pread(fd, data.data(), size, 0);
  data.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return data;
}

TEST(PlatformFiles, TempPathsFollowTheEnvironment) {
  EnvGuard tmpdir("TMPDIR"), tmp("TMP");
  setenv("TMPDIR", "/var/tmp///", 1);
  EXPECT_EQ(vp::SystemTempPath(), "/var/tmp");
  unsetenv("TMPDIR");
  EXPECT_EQ(vp::SystemTempPath(), "/tmp");
  setenv("TMPDIR", ("/" + std::string(400, 'x')).c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath().size(), 255u);

  setenv("TMPDIR", "/var/tmp", 1);
  const std::string dir = vptest::FreshDir("files-tmp");
  setenv("TMP", dir.c_str(), 1);
  EXPECT_EQ(vp::TempFileDirectory(), dir);
  setenv("TMP", (dir + "/missing").c_str(), 1);
  EXPECT_EQ(vp::TempFileDirectory(), "/var/tmp");
}

TEST(PlatformFiles, UniqueFilesNeverReuseAName) {
  const std::string dir = vptest::FreshDir("files-unique");
  std::set<std::string> made;
  for (int i = 0; i < 50; ++i) {
    std::string path = vp::CreateUniqueFile(dir, "vp");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.rfind(dir + "/vp", 0), 0u);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
    vptest::WriteFile(path, "taken");
    EXPECT_TRUE(made.insert(path).second) << path;
  }
  for (const std::string& path : made) EXPECT_EQ(vptest::ReadFile(path), "taken");
  EXPECT_EQ(vp::CreateUniqueFile(dir + "/missing", "vp"), "");
}

TEST(PlatformFiles, DirectoriesAndDeletion) {
  const std::string dir = vptest::FreshDir("files-dirs");
  EXPECT_EQ(vp::MakeDirectory(dir + "/pgptemp"), vp::MakeDirResult::kCreated);
  EXPECT_EQ(vp::MakeDirectory(dir + "/pgptemp"), vp::MakeDirResult::kExists);
  EXPECT_EQ(vp::MakeDirectory(dir + "/no/pgptemp"), vp::MakeDirResult::kMissingParent);
  EXPECT_TRUE(vp::PathExists(dir + "/pgptemp"));
  vptest::WriteFile(dir + "/f", "x");
  EXPECT_TRUE(vp::DeleteFilePath(dir + "/f"));
  EXPECT_FALSE(vp::DeleteFilePath(dir + "/f"));
  EXPECT_FALSE(vp::PathExists(dir + "/f"));
}

TEST(PlatformFiles, WipeFillsAndFlushesEachPass) {
  const std::string path = vptest::FreshDir("files-wipe") + "/plain.txt";
  vptest::WriteFile(path, "0123456789");
  int reader = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);

  vp::WipeHandle h;
  ASSERT_TRUE(vp::WipeOpen(path, &h));
  uint64_t size = 0;
  ASSERT_TRUE(vp::WipeSize(&h, &size));
  ASSERT_EQ(size, 10u);
  EXPECT_FALSE(vp::WipeMap(&h, 11)) << "never past the end of the file";
  ASSERT_TRUE(vp::WipeMap(&h, size));
  ASSERT_TRUE(vp::WipeFillAndFlush(&h, 0x55));
  EXPECT_EQ(ReadAt(reader, 64), std::string(10, '\x55'));
  ASSERT_TRUE(vp::WipeFillAndFlush(&h, 0xAA));
  EXPECT_EQ(ReadAt(reader, 64), std::string(10, '\xAA'));
  vp::WipeClose(&h);
  EXPECT_EQ(h.fd, -1);
  EXPECT_EQ(h.view, nullptr);
  close(reader);
  EXPECT_EQ(vptest::ReadFile(path), std::string(10, '\xAA')) << "length and name are kept";
}

TEST(PlatformFiles, WipeRefusesWhatItMustNotTouch) {
  const std::string dir = vptest::FreshDir("files-wipe-refuse");
  const std::string path = dir + "/held.txt";
  vptest::WriteFile(path, "secret");
  vp::WipeHandle first, second;
  EXPECT_FALSE(vp::WipeOpen(dir + "/missing", &second));
  ASSERT_TRUE(vp::WipeOpen(path, &first));
  EXPECT_FALSE(vp::WipeOpen(path, &second)) << "the lock keeps a second wiper out";
  vp::WipeClose(&first);

  // The lock is held for real: a separate process cannot take it either.
  ASSERT_TRUE(vp::WipeOpen(path, &first));
  EXPECT_EQ(vptest::RunCommand("flock -n '" + path + "' true"), 1);
  vp::WipeClose(&first);
  EXPECT_EQ(vptest::RunCommand("flock -n '" + path + "' true"), 0);

  // A planted link is not followed, and a directory is no file to wipe.
  ASSERT_EQ(symlink(path.c_str(), (dir + "/link").c_str()), 0);
  EXPECT_FALSE(vp::WipeOpen(dir + "/link", &second));
  EXPECT_FALSE(vp::WipeOpen(dir, &second));
  EXPECT_EQ(vptest::ReadFile(path), "secret");

  vp::SetFaults("files.map@1");
  ASSERT_TRUE(vp::WipeOpen(path, &first));
  EXPECT_FALSE(vp::WipeMap(&first, 6));
  EXPECT_EQ(vp::LastErrorText(), "Cannot allocate memory");
  EXPECT_TRUE(vp::WipeMap(&first, 6));
  vp::WipeClose(&first);
  vp::SetFaults("");
}

}  // namespace
