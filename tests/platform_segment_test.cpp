// Tests of the shared settings segment between real processes, including one that is killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/segment.h"
#include "support/test_env.h"
#include "veilpost_version.h"

extern char** environ;

namespace {

std::string Dump(const vp::SharedSettings* s) {
  return "version=" + std::string(s->szVersion) + ";key=" + s->szPgpKey + ";pass=" + s->passphrase +
         ";dir=" + s->defaultDirectory + ";gpg=" + s->szGpgApp +
         ";start=" + std::to_string(s->time_start) + ";cache=" + std::to_string(s->cacheInterval) +
         ";flags=" + std::to_string(s->bShowProcAttDialog) +
         std::to_string(s->bShowMailSignDialog) + std::to_string(s->bShowFileSignDialog) +
         std::to_string(s->bShowAttLaunchDialog) + std::to_string(s->bAutoOpenPgpMail) +
         std::to_string(s->bUseAgent);
}

const std::string kInitial = "version=Veilpost Ver " VEILPOST_VERSION
                             " for GnuPG;key=;pass=;dir=;gpg=;start=0;cache=0;flags=111110";

// Child role: obeys one command per line on stdin and answers one line on stdout.
int SegmentChild(int, char**) {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "attach") {
      vp::SharedSettings* s = vp::AttachSharedSettings();
      std::cout << (s ? Dump(s) : "failed") << std::endl;
    } else if (line.rfind("set ", 0) == 0) {
      vp::SharedSettings* s = vp::SharedSettingsView();
      if (s) {
        std::snprintf(s->szPgpKey, sizeof s->szPgpKey, "%s", line.c_str() + 4);
        s->cacheInterval = 7;
      }
      std::cout << (s ? "ok" : "not attached") << std::endl;
    } else if (line == "get") {
      vp::SharedSettings* s = vp::SharedSettingsView();
      std::cout << (s ? Dump(s) : "not attached") << std::endl;
    } else if (line == "detach") {
      vp::DetachSharedSettings();
      std::cout << "detached" << std::endl;
    } else if (line == "crash") {
      raise(SIGKILL);
    } else if (line == "fork-exit") {
      // A child inherits the mapping and leaves with the library's unload processing.
      pid_t child = fork();
      if (child == 0) {
        vp::DetachSharedSettings();
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
      std::cout << "child left" << std::endl;
    }
  }
  return 0;
}

const bool kRegistered = vptest::RegisterChild("segment", SegmentChild);

// A segment child with a pipe each way.
class Attacher {
 public:
  explicit Attacher(const std::vector<std::string>& env) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) envText.push_back(*e);
    envText.insert(envText.end(), env.begin(), env.end());  // later entries win
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
      std::vector<char*> envp;
      for (auto it = envText.rbegin(); it != envText.rend(); ++it) envp.push_back(it->data());
      envp.push_back(nullptr);
      std::string self = vptest::TestBinary();
      char child[] = "--child", role[] = "segment";
      char* argv[] = {self.data(), child, role, nullptr};
      execve(self.c_str(), argv, envp.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fdopen(fromChild[0], "r");
  }
  ~Attacher() {
    if (in_ >= 0) close(in_);
    if (out_) fclose(out_);
    Wait();
  }

  std::string Ask(const std::string& command) {
    if (!Send(command)) return "";
    if (command == "crash") {
      Wait();
      return "";
    }
    return Answer();
  }

  bool Send(const std::string& command) {
    std::string line = command + "\n";
    return write(in_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  }

  std::string Answer() {
    char buf[2048];
    if (!out_ || !std::fgets(buf, sizeof buf, out_)) return "<no answer>";
    std::string answer(buf);
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
  }

  int Wait() {
    if (pid_ <= 0) return status_;
    if (in_ >= 0) close(in_);
    in_ = -1;
    waitpid(pid_, &status_, 0);
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  FILE* out_ = nullptr;
  int status_ = 0;
};

class PlatformSegment : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    name_ = "/vp-seg-" + std::to_string(getpid()) + "-" + info->name();
    lockDir_ = vptest::FreshDir(std::string("segment-") + info->name());
    env_ = {"VEILPOST_SEGMENT=" + name_, "XDG_RUNTIME_DIR=" + lockDir_};
    gate_ =
        std::string(getpwuid(geteuid())->pw_dir) + "/.cache/veilpost/segments" + name_ + ".gate";
  }
  void TearDown() override { shm_unlink(name_.c_str()); }

  bool ObjectExists() const {
    struct stat st;
    return stat(("/dev/shm" + name_).c_str(), &st) == 0;
  }
  unsigned Mode(const std::string& path) const {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
  }

  std::string name_, lockDir_, gate_;
  std::vector<std::string> env_;
};

TEST_F(PlatformSegment, SharedBetweenProcessesUntilTheLastDetaches) {
  Attacher first(env_), second(env_);
  EXPECT_EQ(first.Ask("attach"), kInitial);
  ASSERT_TRUE(ObjectExists());
  EXPECT_EQ(Mode("/dev/shm" + name_), 0600u);
  EXPECT_EQ(Mode(gate_), 0600u);
  EXPECT_EQ(Mode(gate_.substr(0, gate_.rfind('/'))), 0700u);

  EXPECT_EQ(first.Ask("set alpha"), "ok");
  const std::string alpha = kInitial.substr(0, kInitial.find(";key=")) +
                            ";key=alpha;pass=;dir=;gpg=;start=0;cache=7;flags=111110";
  EXPECT_EQ(second.Ask("attach"), alpha) << "a second attach must not re-initialise";
  EXPECT_EQ(second.Ask("set beta"), "ok");
  EXPECT_NE(first.Ask("get").find(";key=beta;"), std::string::npos);

  EXPECT_EQ(first.Ask("detach"), "detached");
  EXPECT_TRUE(ObjectExists()) << "still attached by the second process";
  EXPECT_EQ(second.Ask("get").find(";key=beta;") != std::string::npos, true);
  EXPECT_EQ(second.Ask("detach"), "detached");
  EXPECT_FALSE(ObjectExists()) << "the last detacher removes the object";
  EXPECT_EQ(Mode(gate_), 0u) << "and its gate file";

  Attacher third(env_);
  EXPECT_EQ(third.Ask("attach"), kInitial) << "the next first attach starts afresh";
  EXPECT_EQ(third.Ask("detach"), "detached");
}

TEST_F(PlatformSegment, KilledAttacherLeavesNoStaleSegment) {
  {
    Attacher doomed(env_);
    EXPECT_EQ(doomed.Ask("attach"), kInitial);
    EXPECT_EQ(doomed.Ask("set stale"), "ok");
    doomed.Ask("crash");
    EXPECT_TRUE(WIFSIGNALED(doomed.Wait()));
  }
  EXPECT_TRUE(ObjectExists()) << "nobody detached";
  Attacher survivor(env_);
  EXPECT_EQ(survivor.Ask("attach"), kInitial) << "a new first attacher re-initialises";
  EXPECT_EQ(survivor.Ask("set live"), "ok");

  // A crash while another process stays attached leaves the segment to that process.
  {
    Attacher doomed(env_);
    EXPECT_NE(doomed.Ask("attach").find(";key=live;"), std::string::npos);
    doomed.Ask("crash");
  }
  Attacher late(env_);
  EXPECT_NE(late.Ask("attach").find(";key=live;"), std::string::npos);
  EXPECT_EQ(late.Ask("detach"), "detached");
  EXPECT_EQ(survivor.Ask("detach"), "detached");
  EXPECT_FALSE(ObjectExists());
}

TEST_F(PlatformSegment, NeitherEnvironmentNorPlantedFilesNorForkedChildrenSplitIt) {
  Attacher first(env_);
  EXPECT_EQ(first.Ask("attach"), kInitial);
  EXPECT_EQ(first.Ask("set kept"), "ok");

  // Another runtime folder, or none with another user's files where /tmp would serve.
  const std::string planted = "/tmp" + name_ + ".gate";
  vptest::WriteFile(planted, "");
  ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
  std::vector<std::string> other = env_;
  other[1] = "XDG_RUNTIME_DIR=" + vptest::FreshDir("segment-elsewhere");
  Attacher second(other);
  EXPECT_NE(second.Ask("attach").find(";key=kept;"), std::string::npos);
  std::vector<std::string> none = {"VEILPOST_SEGMENT=" + name_, "XDG_RUNTIME_DIR="};
  Attacher third(none);
  EXPECT_NE(third.Ask("attach").find(";key=kept;"), std::string::npos);
  unlink(planted.c_str());

  // A forked child's unload leaves the parent's hold in place.
  EXPECT_EQ(first.Ask("fork-exit"), "child left");
  EXPECT_EQ(second.Ask("detach"), "detached");
  EXPECT_EQ(third.Ask("detach"), "detached");
  EXPECT_TRUE(ObjectExists()) << "the first process still holds it";
  Attacher late(env_);
  EXPECT_NE(late.Ask("attach").find(";key=kept;"), std::string::npos);
  EXPECT_EQ(late.Ask("detach"), "detached");
  EXPECT_EQ(first.Ask("detach"), "detached");
  EXPECT_FALSE(ObjectExists());
}

TEST_F(PlatformSegment, ProcessesAttachingAtOnceAgreeOnOneSegment) {
  // Several processes attach at the same moment with no segment present: exactly one copy
  // must come out of it, whoever initialised it; then they all detach at once.
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<Attacher>> crowd;
    for (int i = 0; i < 6; ++i) crowd.push_back(std::make_unique<Attacher>(env_));
    for (auto& a : crowd) a->Send("attach");
    for (auto& a : crowd) EXPECT_EQ(a->Answer(), kInitial) << "round " << round;
    const std::string key = "round" + std::to_string(round);
    EXPECT_EQ(crowd.front()->Ask("set " + key), "ok");
    for (auto& a : crowd) EXPECT_NE(a->Ask("get").find(";key=" + key + ";"), std::string::npos);
    for (auto& a : crowd) a->Send("detach");
    for (auto& a : crowd) EXPECT_EQ(a->Answer(), "detached");
    EXPECT_FALSE(ObjectExists()) << "round " << round;
  }
}

}  // namespace
