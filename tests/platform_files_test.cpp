// Tests of the files port: temporary paths, exclusive unique files, leftovers and the wipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/files_shared.h"
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
  const std::string system = vptest::FreshDir("files-tmpdir");
  setenv("TMPDIR", (system + "///").c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath(), system);

  setenv("TMPDIR", system.c_str(), 1);
  const std::string dir = vptest::FreshDir("files-tmp");
  setenv("TMP", dir.c_str(), 1);
  EXPECT_EQ(vp::TempFileDirectory(), dir);
  setenv("TMP", (dir + "/missing").c_str(), 1);
  EXPECT_EQ(vp::TempFileDirectory(), system);
  // A shared folder, even the administrator's sticky one, is no place for plaintext.
  setenv("TMP", "/var/tmp", 1);
  EXPECT_EQ(vp::TempFileDirectory(), system);
  setenv("TMPDIR", "/var/tmp", 1);
  std::string refusal;
  EXPECT_EQ(vp::SystemTempPath(&refusal), "");
  EXPECT_EQ(refusal, geteuid() == 0 ? "The temporary folder /var/tmp can be changed by other users."
                                    : "The temporary folder /var/tmp belongs to another user.");
}

// A cut name would be another folder; a folder others can change or own is no place for
// plaintext, whether or not it is sticky.
TEST(PlatformFiles, UnsafeOrOverLongTempFoldersAreRefused) {
  EnvGuard tmpdir("TMPDIR");
  const std::string dir = vptest::FreshDir("files-tmp-refused");
  std::string refusal;
  setenv("TMPDIR", ("/" + std::string(400, 'x')).c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath(&refusal), "");
  EXPECT_NE(refusal.find("too long"), std::string::npos) << refusal;

  const std::string open = dir + "/open";
  ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  setenv("TMPDIR", open.c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath(&refusal), "");
  EXPECT_NE(refusal.find(open), std::string::npos) << refusal;
  ASSERT_EQ(chmod(open.c_str(), 01777), 0);
  EXPECT_EQ(vp::SystemTempPath(&refusal), "");
  EXPECT_EQ(refusal, "The temporary folder " + open + " can be changed by other users.");
  ASSERT_EQ(chmod(open.c_str(), 0770), 0);
  EXPECT_EQ(vp::SystemTempPath(), "") << "group-writable";
  ASSERT_EQ(chmod(open.c_str(), 0755), 0);
  EXPECT_EQ(vp::SystemTempPath(), open);

  if (geteuid() == 0) {
    const std::string theirs = dir + "/theirs";
    ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    setenv("TMPDIR", theirs.c_str(), 1);
    EXPECT_EQ(vp::SystemTempPath(&refusal), "");
    EXPECT_NE(refusal.find("another user"), std::string::npos) << refusal;
  }
}

TEST(PlatformFiles, WithoutTmpdirAPrivateFolderIsMade) {
  EnvGuard tmpdir("TMPDIR"), runtime("XDG_RUNTIME_DIR"), home("HOME");
  const std::string dir = vptest::FreshDir("files-tmp-private");
  unsetenv("TMPDIR");
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath(), dir + "/veilpost");
  struct stat st;
  ASSERT_EQ(stat((dir + "/veilpost").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  setenv("XDG_RUNTIME_DIR", (dir + "/none").c_str(), 1);
  setenv("HOME", dir.c_str(), 1);
  EXPECT_EQ(vp::SystemTempPath(), dir + "/.cache/veilpost/tmp");
  ASSERT_EQ(stat((dir + "/.cache/veilpost/tmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
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
  ASSERT_EQ(chmod(path.c_str(), 0400), 0);
  int reader = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);

  vp::WipeHandle h;
  ASSERT_EQ(vp::WipeOpen(path, &h), vp::WipeOpenResult::kOpened);
  ASSERT_EQ(h.size, 10u);
  ASSERT_TRUE(vp::WipeFill(&h, 0x55));
  ASSERT_TRUE(vp::WipeFlush(&h));
  EXPECT_EQ(ReadAt(reader, 64), std::string(10, '\x55'));
  ASSERT_TRUE(vp::WipeFill(&h, 0xAA));
  ASSERT_TRUE(vp::WipeFlush(&h));
  EXPECT_EQ(ReadAt(reader, 64), std::string(10, '\xAA'));
  vp::WipeClose(&h);
  EXPECT_EQ(h.fd, -1);
  close(reader);
  EXPECT_EQ(vptest::ReadFile(path), std::string(10, '\xAA')) << "length and name are kept";
}

TEST(PlatformFiles, WipeRefusesWhatItMustNotTouch) {
  const std::string dir = vptest::FreshDir("files-wipe-refuse");
  const std::string path = dir + "/held.txt";
  vptest::WriteFile(path, "secret");
  vp::WipeHandle first, second;
  EXPECT_EQ(vp::WipeOpen(dir + "/missing", &second), vp::WipeOpenResult::kMissing);
  ASSERT_EQ(vp::WipeOpen(path, &first), vp::WipeOpenResult::kOpened);
  EXPECT_EQ(vp::WipeOpen(path, &second), vp::WipeOpenResult::kHeld)
      << "the lock keeps a second wiper out";
  vp::WipeClose(&first);

  // The lock is held for real: a separate process cannot take it either.
  ASSERT_EQ(vp::WipeOpen(path, &first), vp::WipeOpenResult::kOpened);
  EXPECT_EQ(vptest::RunCommand("flock -n '" + path + "' true"), 1);
  vp::WipeClose(&first);
  EXPECT_EQ(vptest::RunCommand("flock -n '" + path + "' true"), 0);

  // A planted link, a second name: only the name may go. A directory, a FIFO, a socket, a
  // device: not a file at all, told apart before anything opens them.
  ASSERT_EQ(symlink(path.c_str(), (dir + "/link").c_str()), 0);
  EXPECT_EQ(vp::WipeOpen(dir + "/link", &second), vp::WipeOpenResult::kNotOwnFile);
  ASSERT_EQ(link(path.c_str(), (dir + "/hard").c_str()), 0);
  EXPECT_EQ(vp::WipeOpen(dir + "/hard", &second), vp::WipeOpenResult::kNotOwnFile);
  EXPECT_EQ(vp::WipeOpen(dir, &second), vp::WipeOpenResult::kNotAFile);
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  EXPECT_EQ(vp::WipeOpen(dir + "/fifo", &second), vp::WipeOpenResult::kNotAFile);
  EXPECT_EQ(vp::WipeOpen("/dev/null", &second), vp::WipeOpenResult::kNotAFile);
  const std::string sockets = vptest::ShortPrivateDir("vps");  // a socket path is short
  EXPECT_EQ(vptest::RunCommand("python3 -c \"import socket; socket.socket(socket.AF_UNIX)"
                               ".bind('" +
                               sockets + "/socket')\""),
            0);
  EXPECT_EQ(vp::WipeOpen(sockets + "/socket", &second), vp::WipeOpenResult::kNotAFile);
  std::filesystem::remove_all(sockets);
  // A name under something that is not a folder names nothing.
  EXPECT_EQ(vp::WipeOpen(path + "/inside", &second), vp::WipeOpenResult::kMissing);
  EXPECT_EQ(second.fd, -1);
  EXPECT_EQ(vptest::ReadFile(path), "secret");
  EXPECT_EQ(vp::ClassifyName(dir + "/hard"), vp::NameKind::kOther);
  ASSERT_EQ(unlink((dir + "/hard").c_str()), 0);
  EXPECT_EQ(vp::ClassifyName(path), vp::NameKind::kOwnFile);

  vp::SetFaults("files.overwrite@1,files.flush@1");
  ASSERT_EQ(vp::WipeOpen(path, &first), vp::WipeOpenResult::kOpened);
  EXPECT_FALSE(vp::WipeFill(&first, 0x55));
  EXPECT_EQ(vp::LastErrorText(), "No space left on device");
  EXPECT_FALSE(vp::WipeFlush(&first));
  EXPECT_TRUE(vp::WipeFill(&first, 0x55));
  vp::WipeClose(&first);
  vp::SetFaults("");
}

// What a killed process left is found; what a live process holds, by its number in the name or
// by its lock, is not; nor is any name this system does not make.
TEST(PlatformFiles, LeftoversOfDeadProcessesOnly) {
  const std::string dir = vptest::FreshDir("files-leftovers");
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  const std::string d = std::to_string(dead);
  const std::string gone = dir + "/vp" + d + "-7";
  const std::vector<std::string> derived = {gone + "~", gone + ".tmp", gone + ".lock"};
  const std::string live = dir + "/vp" + std::to_string(getppid()) + "-7~";
  const std::string locked = dir + "/vp" + d + "-9";
  // Names that only begin like a scratch name belong to the user.
  const std::vector<std::string> users = {
      "vp-old", "vp_1.5.5_amd64.deb", "vp-notes.txt",     "vprc",           "vp" + d + "-7.txt",
      "vp" + d, "vp" + d + "-",       "vp0" + d + "-7",   "vp" + d + "-07", "vp" + d + "-65537",
      "vp-1-7", "vp" + d + "-7~~",    "vp" + d + "-7.bak"};
  for (const std::string& f : {gone, live, locked}) vptest::WriteFile(f, "p");
  for (const std::string& f : derived) vptest::WriteFile(f, "p");
  for (const std::string& f : users) vptest::WriteFile(dir + "/" + f, "mine");
  ASSERT_EQ(mkfifo((dir + "/vp" + d + "-8").c_str(), 0600), 0);
  const std::string mine = vp::CreateUniqueFile(dir, "vp");
  ASSERT_FALSE(mine.empty());
  int holder = open(locked.c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);

  std::vector<std::string> found = vp::UnheldLeftovers(dir, "vp");
  std::sort(found.begin(), found.end());
  std::vector<std::string> expected = derived;
  expected.push_back(gone);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);

  // Another process sees this one's file as held until it is released.
  EXPECT_EQ(vptest::RunCommand("flock -n '" + mine + "' true"), 1);
  vp::ReleaseFile(mine);
  EXPECT_EQ(vptest::RunCommand("flock -n '" + mine + "' true"), 0);
  close(holder);
}

TEST(PlatformFiles, ScratchNamesAreReadStrictly) {
  EXPECT_EQ(vp::PidInScratchName("1234-17"), 1234);
  EXPECT_EQ(vp::PidInScratchName("1234-65536~"), 1234);
  EXPECT_EQ(vp::PidInScratchName("4194304-1.tmp"), 4194304);
  EXPECT_EQ(vp::PidInScratchName("2147483647-1.lock"), 2147483647);
  for (const char* name : {"", "-17", "1234", "1234-", "1234-0", "1234-65537", "0-1", "01-1",
                           "1234-17.txt", "1234-17~x", "2147483648-1", "12345678901-1",
                           "_1.5.5_amd64.deb", "rc", "-notes.txt", "1234-17 "})
    EXPECT_EQ(vp::PidInScratchName(name), 0) << name;
}

// The attachment work folder must be a folder of the user that no one else can change.
TEST(PlatformFiles, WorkFolderMustBeOwnAndClosed) {
  const std::string dir = vptest::FreshDir("files-work-folder");
  const std::string work = dir + "/pgptemp";
  EXPECT_EQ(vp::WorkFolderRefusal(work), "The work folder " + work + " cannot be used.");
  ASSERT_EQ(vp::MakeDirectory(work), vp::MakeDirResult::kCreated);
  EXPECT_EQ(vp::WorkFolderRefusal(work), "");
  ASSERT_EQ(chmod(work.c_str(), 0703), 0);
  EXPECT_EQ(vp::WorkFolderRefusal(work),
            "The work folder " + work + " can be changed by other users.");
  ASSERT_EQ(chmod(work.c_str(), 01777), 0);
  EXPECT_EQ(vp::WorkFolderRefusal(work),
            "The work folder " + work + " can be changed by other users.");
  ASSERT_EQ(chmod(work.c_str(), 0755), 0);
  EXPECT_EQ(vp::WorkFolderRefusal(work), "") << "others may look, not change";

  const std::string elsewhere = dir + "/elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), (dir + "/linked").c_str()), 0);
  EXPECT_EQ(vp::WorkFolderRefusal(dir + "/linked"),
            "The work folder " + dir + "/linked is a link, not a folder.");
  vptest::WriteFile(dir + "/file", "");
  EXPECT_EQ(vp::WorkFolderRefusal(dir + "/file"),
            "The work folder " + dir + "/file is not a folder.");
  if (geteuid() == 0) {
    ASSERT_EQ(chown(elsewhere.c_str(), 65534, 65534), 0);
    EXPECT_EQ(vp::WorkFolderRefusal(elsewhere),
              "The work folder " + elsewhere + " belongs to another user.");
  }
}

}  // namespace
