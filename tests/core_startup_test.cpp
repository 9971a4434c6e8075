// The version hand-shake, the initialisation guard, boxes and the window services.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "platform/headless/window_table.h"
#include "platform/segment.h"
#include "support/registry_file.h"
#include "ui_fixture.h"

namespace {

using CoreStartup = vptest::UiFixture;

TEST_F(CoreStartup, SubformVersionMismatchWarnsButKeepsTheNotesVersion) {
  std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  EXPECT_EQ(vp::InitOrlavexImpl("9.0.1", "1.5.4"), -1);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["caption"], "Error");
  EXPECT_EQ(boxes[0]["text"],
            "Current 'Veilpost Plugin' subform version: 1.5.4\nRequired 'Veilpost Plugin' "
            "subform version: 1.5.5\n\nPlease update your 'Veilpost Plugin' subform!");
  // The mail operations still pass the guard afterwards.
  EXPECT_TRUE(vp::CheckInitialised());
  std::string lines = vptest::ReadFile(trace);
  EXPECT_EQ(lines.rfind("Windows version: ", 0), 0u);
  EXPECT_NE(lines.find("\r\nNotes client version: 9.0.1\r\nVeilpost subform version: 1.5.4\r\n"
                       "Veilpost DLL version: 1.5.5\r\n"),
            std::string::npos);
}

TEST_F(CoreStartup, PrivateSettingsAreTracedAndAnnouncedOnce) {
  std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  const char* old = std::getenv("VEILPOST_SEGMENT");
  std::string saved = old ? old : "";
  setenv("VEILPOST_SEGMENT", "no/such/name", 1);
  vp::DetachSharedSettings();
  vp::ProcessAttach();
  old ? setenv("VEILPOST_SEGMENT", saved.c_str(), 1) : unsetenv("VEILPOST_SEGMENT");
  EXPECT_TRUE(Events("message").empty()) << "no box while the library loads";
  EXPECT_EQ(vp::InitOrlavexImpl("9.0.1", "1.5.5"), 0);
  EXPECT_TRUE(vp::CheckInitialised());
  vp::ProcessDetach();
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["caption"], "Warning");
  EXPECT_NE(boxes[0]["text"].get<std::string>().find("VEILPOST_SEGMENT is not a valid"),
            std::string::npos);
  EXPECT_NE(vptest::ReadFile(trace).find("Settings are private to this process: VEILPOST_SEGMENT"),
            std::string::npos);
}

TEST_F(CoreStartup, EmptyNotesVersionIsRefusedByTheGuard) {
  EXPECT_EQ(vp::InitOrlavexImpl("", "1.5.5"), 0);
  EXPECT_FALSE(vp::CheckInitialised());
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["text"],
            "Incompatible 'Veilpost Plugin' subform.\nRequired 'Veilpost Plugin' subform "
            "version: 1.5.5\n\nPlease update your 'Veilpost Plugin' subform!");
  // An over-long version is cut to its store, never overflowing it.
  EXPECT_EQ(vp::InitOrlavexImpl(std::string(600, '9').c_str(), "1.5.5"), 0);
  EXPECT_TRUE(vp::CheckInitialised());
}

TEST_F(CoreStartup, BoxesCarryTheirCaptionsAndCutLongTexts) {
  UseScript("message no\n");
  EXPECT_EQ(vp::ShowQuestion("Import %d key(s)?", 2), vp::kIdNo);
  vp::ShowInformation("%s", "info");
  vp::ShowWarning("%s", "warn");
  EXPECT_EQ(vp::ShowError("%s", std::string(400, 'e').c_str()), vp::kIdOk);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0]["caption"], "Question");
  EXPECT_EQ(boxes[0]["text"], "Import 2 key(s)?");
  EXPECT_EQ(boxes[1]["caption"], "Information");
  EXPECT_EQ(boxes[2]["caption"], "Warning");
  EXPECT_EQ(boxes[3]["caption"], "Error");
  EXPECT_EQ(boxes[3]["text"], std::string(255, 'e'));
  char* missing = vp::LoadResString(9999);
  EXPECT_STREQ(missing, "<Resource not found>");
  free(missing);
}

TEST_F(CoreStartup, NotesWindowIsFoundDisabledAndCentred) {
  // Only the older class name exists: it is found, disabled and owns the boxes.
  vp::WindowHandle notes = vp::headless::RegisterWindow("NOTES", "Notes", vp::Rect{0, 0, 100, 50});
  vp::EnableNotesWindow(false);
  EXPECT_EQ(vp::NotesWindow(), notes);
  EXPECT_FALSE(vp::Ui().IsWindowEnabled(notes));
  vp::CenterWindow(notes);
  vp::Rect r;
  ASSERT_TRUE(vp::Ui().GetWindowRect(notes, &r));
  EXPECT_EQ(r.left, 461);
  EXPECT_EQ(r.top, 358);
  EXPECT_EQ(r.right - r.left, 101);
  EXPECT_EQ(r.bottom - r.top, 51);
  vp::EnableNotesWindow(true);
  EXPECT_TRUE(vp::Ui().IsWindowEnabled(notes));

  // The frame class wins over the older one.
  vp::WindowHandle frame =
      vp::headless::RegisterWindow("NOTESframe", "Lotus Notes", vp::Rect{0, 0, 800, 600});
  vp::EnableNotesWindow(false);
  EXPECT_EQ(vp::NotesWindow(), frame);
  EXPECT_TRUE(vp::Ui().IsWindowEnabled(notes));
  vp::EnableNotesWindow(true);
  vp::headless::UnregisterWindow(frame);
  vp::headless::UnregisterWindow(notes);
  vp::EnableNotesWindow(false);
  EXPECT_EQ(vp::NotesWindow(), nullptr);
}

TEST_F(CoreStartup, ErrorDetailsCopyToTheClipboardAndCloseOnlyWithOk) {
  UseScript("dialog 115 key escape; click 1023; click 1\n");
  EXPECT_EQ(vp::ShowErrorDetails("Unable to open x", "gpg: decryption failed: No secret key"), 0);
  auto clip = Events("clipboard");
  ASSERT_EQ(clip.size(), 1u);
  EXPECT_EQ(clip[0]["text"], "gpg: decryption failed: No secret key");
  auto texts = Events("set-text");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0]["id"], 1021);
  EXPECT_EQ(texts[0]["text"], "Unable to open x");
  auto closed = Events("dialog-close");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0]["answered"], true);
}

}  // namespace
