// Tests of the .reg text model and the file-backed registry, across real processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/reg_text.h"
#include "platform/registry.h"
#include "support/test_env.h"

namespace {

constexpr const char* kKey = "Software\\Brinmoor\\Veilpost Ver 1.0";
constexpr const char* kHeader = "[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]";

// Child role: writes COUNT dword values named PREFIXi to the key, each through its own open.
int WriterChild(int argc, char** argv) {
  if (argc < 3) return 2;
  int count = std::atoi(argv[2]);
  for (int i = 0; i < count; ++i) {
    vp::RegistryKey key = nullptr;
    if (!vp::RegistryOpenOrCreate(kKey, "Application Config Values", &key)) return 3;
    std::string name = std::string(argv[1]) + std::to_string(i);
    bool ok = vp::RegistryWriteDword(key, name.c_str(), static_cast<uint32_t>(i));
    vp::RegistryClose(key);
    if (!ok) return 4;
  }
  return 0;
}

// Child role: opens the key twice and prints which opens succeeded (faults come from the
// environment).
int OpenTwiceChild(int, char**) {
  for (int i = 0; i < 2; ++i) {
    vp::RegistryKey key = nullptr;
    bool ok = vp::RegistryOpenOrCreate(kKey, nullptr, &key);
    std::printf("%s", ok ? "ok " : "fail ");
    vp::RegistryClose(key);
  }
  return 0;
}

const bool kRegistered = vptest::RegisterChild("registry-writer", WriterChild) &&
                         vptest::RegisterChild("registry-open-twice", OpenTwiceChild);

TEST(PlatformRegText, RoundTripKeepsEscapesAndForeignContent) {
  const std::string text =
      "REGEDIT4\r\n"
      "; exported by hand\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  03,ff\r\n"
      "@=\"default text\"\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
      "\"GpgProgramPath\"=\"C:\\\\Program Files\\\\GNU\\\\GnuPG\\\\gpg.exe\"\r\n"
      "\"Say \\\"hi\\\"\"=\"a \\\"quoted\\\" word\"\r\n"
      "\"CacheInterval\"=dword:0000000a\r\n"
      "this line means nothing\r\n";
  vp::RegDocument doc = vp::ParseRegText(text);
  ASSERT_EQ(doc.preamble.size(), 1u);
  ASSERT_EQ(doc.sections.size(), 2u);

  const vp::RegSection* other = vp::FindRegSection(doc, "hkey_local_machine\\SOFTWARE\\other");
  ASSERT_NE(other, nullptr);
  std::string bytes;
  ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(*other, "blob"), &bytes));
  EXPECT_EQ(bytes, std::string("\x01\x02\x03\xff", 4));
  ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(*other, ""), &bytes));
  EXPECT_EQ(bytes, std::string("default text\0", 13));

  vp::RegSection* ours =
      vp::FindRegSection(doc, "HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0");
  ASSERT_NE(ours, nullptr);
  ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(*ours, "gpgprogrampath"), &bytes));
  EXPECT_EQ(bytes, std::string("C:\\Program Files\\GNU\\GnuPG\\gpg.exe\0", 35));
  ASSERT_NE(vp::FindRegValue(*ours, "Say \"hi\""), nullptr);
  ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(*ours, "Say \"hi\""), &bytes));
  EXPECT_EQ(bytes, std::string("a \"quoted\" word\0", 16));
  ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(*ours, "CacheInterval"), &bytes));
  EXPECT_EQ(bytes, std::string("\x0a\0\0\0", 4));

  vp::SetRegString(*ours, "TraceFile", "line1\nC:\\t \"x\"");
  vp::SetRegDword(*ours, "cacheinterval", 0xdeadbeef);
  const std::string formatted = vp::FormatRegText(doc);
  EXPECT_EQ(formatted,
            "REGEDIT4\n\n"
            "; exported by hand\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
            "\"Blob\"=hex:01,02,03,ff\n"
            "@=\"default text\"\n\n"
            "[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\n"
            "\"GpgProgramPath\"=\"C:\\\\Program Files\\\\GNU\\\\GnuPG\\\\gpg.exe\"\n"
            "\"Say \\\"hi\\\"\"=\"a \\\"quoted\\\" word\"\n"
            "\"CacheInterval\"=dword:deadbeef\n"
            "this line means nothing\n"
            "\"TraceFile\"=\"line1\\nC:\\\\t \\\"x\\\"\"\n\n");
  // Formatting is a fixed point: parsing the output and writing it again changes nothing.
  EXPECT_EQ(vp::FormatRegText(vp::ParseRegText(formatted)), formatted);
  vp::RegDocument again = vp::ParseRegText(formatted);
  ASSERT_TRUE(vp::RegValueBytes(
      *vp::FindRegValue(*vp::FindRegSection(again, ours->header), "TraceFile"), &bytes));
  EXPECT_EQ(bytes, std::string("line1\nC:\\t \"x\"") + '\0');
}

TEST(PlatformRegText, RejectsMalformedData) {
  std::string bytes = "unchanged";
  vp::RegEntry entry;
  for (const char* data : {"dword:123456789", "dword:", "dword:12g4", "hex:1", "hex:01;02",
                           "hex(zz):01", "\"no end", "\"a\" trailing", "42"}) {
    entry.data = data;
    EXPECT_FALSE(vp::RegValueBytes(entry, &bytes)) << data;
  }
  EXPECT_EQ(bytes, "unchanged");
  entry.data = "hex(2):41,00";
  ASSERT_TRUE(vp::RegValueBytes(entry, &bytes));
  EXPECT_EQ(bytes, std::string("A\0", 2));
}

TEST(PlatformRegText, DanglingContinuationDoesNotSwallowTheNextValueWritten) {
  for (const char* blob : {"hex:01,02,\\", "hex:01,02, \\", "hex:01,02,\\\\", "hex:01,02,\r\\"}) {
    SCOPED_TRACE(blob);
    vp::RegDocument doc = vp::ParseRegText(std::string("[K]\n\"Blob\"=") + blob);
    vp::SetRegString(doc.sections[0], "Added", "v");
    const std::string formatted = vp::FormatRegText(doc);
    const vp::RegDocument again = vp::ParseRegText(formatted);
    EXPECT_EQ(vp::FormatRegText(again), formatted);
    ASSERT_EQ(again.sections.size(), 1u);
    const vp::RegEntry* added = vp::FindRegValue(again.sections[0], "Added");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->data, "\"v\"");
    std::string bytes;
    ASSERT_TRUE(vp::RegValueBytes(*vp::FindRegValue(again.sections[0], "Blob"), &bytes));
    EXPECT_EQ(bytes, "\x01\x02");
  }
}

class PlatformRegistry : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("VEILPOST_REGISTRY");
    saved_ = old ? old : "";
    dir_ = vptest::FreshDir(
        "registry-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    file_ = dir_ + "/config/veilpost/registry.reg";  // folders that do not exist yet
    setenv("VEILPOST_REGISTRY", file_.c_str(), 1);
  }
  void TearDown() override {
    vp::SetFaults("");
    setenv("VEILPOST_REGISTRY", saved_.c_str(), 1);
  }
  vp::RegistryKey Open() {
    vp::RegistryKey key = nullptr;
    EXPECT_TRUE(vp::RegistryOpenOrCreate(kKey, "Application Config Values", &key));
    return key;
  }

  std::string saved_, dir_, file_;
};

TEST_F(PlatformRegistry, OpenCreatesKeyAndKeepsForeignContent) {
  vp::RegistryKey key = Open();
  ASSERT_NE(key, nullptr);
  uint32_t unused = 0;
  EXPECT_FALSE(vp::RegistryReadDword(key, "CacheInterval", &unused));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/config")) << "opening and reading write nothing";
  ASSERT_TRUE(vp::RegistryWriteDword(key, "First", 1));
  EXPECT_NE(vptest::ReadFile(file_).find(kHeader), std::string::npos) << "the first write makes it";
  vp::RegistryClose(key);

  vptest::WriteFile(file_,
                    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Someone Else]\n\"Keep\"=hex:00\n\n" +
                        std::string(kHeader) + "\n\"Unknown\"=\"stays\"\n");
  key = Open();
  ASSERT_TRUE(vp::RegistryWriteString(key, "GpgProgramPath", "C:\\Program Files\\\"gpg\""));
  ASSERT_TRUE(vp::RegistryWriteDword(key, "CacheInterval", 10));
  const std::string text = vptest::ReadFile(file_);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Someone Else]\n\"Keep\"=hex:00\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"Unknown\"=\"stays\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"GpgProgramPath\"=\"C:\\\\Program Files\\\\\\\"gpg\\\"\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"CacheInterval\"=dword:0000000a\n"), std::string::npos);

  // A read sees the file as it is now, not as it was when the key was opened.
  vptest::WriteFile(file_, std::string(kHeader) + "\n\"CacheInterval\"=dword:00000014\n");
  uint32_t value = 0;
  ASSERT_TRUE(vp::RegistryReadDword(key, "cacheinterval", &value));
  EXPECT_EQ(value, 20u);
  vp::RegistryClose(key);
}

TEST_F(PlatformRegistry, ReadsRespectCapacityAndSize) {
  vp::RegistryKey key = Open();
  ASSERT_TRUE(vp::RegistryWriteString(key, "Text", "abcdef"));
  char buf[16];
  std::memset(buf, 'z', sizeof buf);
  EXPECT_FALSE(vp::RegistryReadString(key, "Text", buf, 6)) << "no room for the terminator";
  EXPECT_EQ(buf[0], 'z') << "a failed read leaves the buffer alone";
  ASSERT_TRUE(vp::RegistryReadString(key, "Text", buf, 7));
  EXPECT_STREQ(buf, "abcdef");
  EXPECT_FALSE(vp::RegistryReadString(key, "Missing", buf, sizeof buf));

  // Values are read by type: a text never passes for a number, even one that fits in four
  // bytes, nor a number for a text.
  ASSERT_TRUE(vp::RegistryWriteString(key, "Short", "abc"));
  ASSERT_TRUE(vp::RegistryWriteDword(key, "Number", 5));
  uint32_t value = 77;
  EXPECT_FALSE(vp::RegistryReadDword(key, "Text", &value));
  EXPECT_FALSE(vp::RegistryReadDword(key, "Missing", &value));
  EXPECT_FALSE(vp::RegistryReadDword(key, "Short", &value));
  EXPECT_EQ(value, 77u);
  EXPECT_FALSE(vp::RegistryReadString(key, "Number", buf, sizeof buf));
  EXPECT_STREQ(buf, "abcdef");
  ASSERT_TRUE(vp::RegistryReadDword(key, "Number", &value));
  EXPECT_EQ(value, 5u);
  vp::RegistryClose(key);
}

TEST_F(PlatformRegistry, FaultSitesFailOnDemand) {
  vp::RegistryKey key = Open();
  ASSERT_TRUE(vp::RegistryWriteDword(key, "A", 1));
  const std::string before = vptest::ReadFile(file_);
  vp::SetFaults("registry.write@1,registry.read@2");
  EXPECT_FALSE(vp::RegistryWriteDword(key, "A", 2));
  EXPECT_EQ(vptest::ReadFile(file_), before) << "a failed write changes nothing";
  uint32_t value = 0;
  EXPECT_TRUE(vp::RegistryReadDword(key, "A", &value));
  EXPECT_FALSE(vp::RegistryReadDword(key, "A", &value));
  EXPECT_TRUE(vp::RegistryWriteDword(key, "A", 3));
  vp::RegistryClose(key);

  vp::SetFaults("registry.open@*");
  key = reinterpret_cast<vp::RegistryKey>(1);
  EXPECT_FALSE(vp::RegistryOpenOrCreate(kKey, nullptr, &key));
  EXPECT_EQ(key, nullptr);

  // Another process takes its faults from the environment.
  vp::SetFaults("");
  std::string out;
  int rc = vptest::RunCommand("VEILPOST_FAULTS='registry.open@1' '" + vptest::TestBinary() +
                                  "' --child registry-open-twice",
                              &out);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out, "fail ok ");
}

// The settings are written through a new file of a name no one can know beforehand, made
// exclusively: a link planted under a guessable scratch name receives nothing.
TEST_F(PlatformRegistry, SavingNeverWritesThroughAPlantedName) {
  vp::RegistryKey key = Open();
  ASSERT_TRUE(vp::RegistryWriteDword(key, "CacheInterval", 2));
  const std::string folder = dir_ + "/config/veilpost";
  const std::string victim = dir_ + "/victim";
  vptest::WriteFile(victim, "the victim's own");
  for (const char* tail : {".tmp", ".new", "~", ".XXXXXX"})
    std::filesystem::create_symlink(victim, file_ + tail);
  ASSERT_TRUE(vp::RegistryWriteString(key, "GpgProgramPath", "/usr/bin/gpg"));
  ASSERT_TRUE(vp::RegistryWriteDword(key, "CacheInterval", 5));
  vp::RegistryClose(key);

  EXPECT_EQ(vptest::ReadFile(victim), "the victim's own");
  EXPECT_FALSE(std::filesystem::is_symlink(file_));
  const std::string text = vptest::ReadFile(file_);
  EXPECT_NE(text.find("\"CacheInterval\"=dword:00000005"), std::string::npos) << text;
  EXPECT_NE(text.find("\"GpgProgramPath\"=\"/usr/bin/gpg\""), std::string::npos) << text;
  EXPECT_EQ(std::filesystem::status(file_).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // Nothing is left beside the settings but its lock and the planted links.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (!std::filesystem::is_symlink(entry.symlink_status()))
      names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(PlatformRegistry, ConcurrentWritersLoseNothing) {
  constexpr int kCount = 40;
  const std::string child = "'" + vptest::TestBinary() + "' --child registry-writer ";
  std::string out;
  vptest::RunCommand("(" + child + "A " + std::to_string(kCount) + "; echo a=$?) & (" + child +
                         "B " + std::to_string(kCount) + "; echo b=$?) & wait",
                     &out);
  EXPECT_NE(out.find("a=0"), std::string::npos) << out;
  EXPECT_NE(out.find("b=0"), std::string::npos) << out;
  vp::RegistryKey key = Open();
  int found = 0;
  for (const char* prefix : {"A", "B"}) {
    for (int i = 0; i < kCount; ++i) {
      uint32_t value = 9999;
      std::string name = prefix + std::to_string(i);
      if (vp::RegistryReadDword(key, name.c_str(), &value) && value == static_cast<uint32_t>(i)) {
        ++found;
      }
    }
  }
  EXPECT_EQ(found, 2 * kCount);
  vp::RegistryClose(key);
}

}  // namespace
