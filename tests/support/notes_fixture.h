// Test fixture for the Notes layer: a private Notes data folder with a directory made by the
// directory tools, a recording user interface, and a fresh embedded store per test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notesemu/directory_tools.h"
#include "platform/ui.h"

namespace vptest {

// Records every message box (text and caption) and answers OK; everything else is inert.
class RecordingUi : public vp::UserInterface {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> captions;

  int MessageBox(vp::WindowHandle, const std::string& text, const std::string& caption,
                 unsigned) override {
    messages.push_back(text);
    captions.push_back(caption);
    return vp::kIdOk;
  }
  intptr_t DialogBox(const vp::DialogTemplate&, vp::WindowHandle, vp::DialogProc, void*) override {
    return vp::kIdCancel;
  }
  vp::WindowHandle FindWindowByClass(const char*) override { return nullptr; }
  void EnableWindow(vp::WindowHandle, bool) override {}
  bool IsWindowEnabled(vp::WindowHandle) override { return true; }
  bool GetWindowRect(vp::WindowHandle, vp::Rect*) override { return false; }
  void MoveWindow(vp::WindowHandle, int, int, int, int, bool) override {}
  void ScreenSize(int* w, int* h) override { *w = *h = 0; }
  void BringToFront(vp::WindowHandle, int) override {}
  bool SetClipboardText(vp::WindowHandle, const std::string&) override { return false; }
};

class NotesFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The local directory (names.nsf in the data folder), created on first use.
  std::string Directory();
  void AddPeople(const std::vector<notesemu::PersonEntry>& people);
  void AddGroup(const std::string& name, const std::vector<std::string>& members);

  // Runs the resolution with a clean table; returns its result.
  int Resolve(const std::string& recipients, const std::string& server = "");
  // Entries 0 to count-1 of the recipient table.
  std::vector<std::string> Table() const;
  const std::vector<std::string>& Messages() const { return ui_->messages; }
  // The text of a status as the store words it.
  static std::string StatusText(uint16_t status);

  std::string data_;  // the Notes data folder
  RecordingUi* ui_ = nullptr;
};

}  // namespace vptest
