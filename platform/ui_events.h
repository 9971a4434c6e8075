// Events of the user interface and the transcript they are written to.
//
// Every front end (headless or on screen) reports what happens on screen (boxes, dialogs, control
// changes, windows, clipboard) as events; the transcript writes each as one JSON line. Texts are
// 8-bit: only `"`,
// `\` and control characters are escaped, and bytes above 0x7F become \u00XX.
#pragma once
#include <string>
#include <vector>

namespace vp::uiscript {

class Event {
 public:
  explicit Event(const std::string& kind);
  Event& Text(const std::string& key, const std::string& value);
  Event& Number(const std::string& key, long long value);
  Event& Flag(const std::string& key, bool value);
  // The text field `key` ("" when there is none); "event" gives the kind.
  std::string TextOf(const std::string& key) const;
  // One JSON object, fields in the order they were added, "event" first; no line break.
  std::string Json() const;

 private:
  enum class Type { kText, kNumber, kFlag };
  struct Field {
    std::string key;
    Type type;
    std::string text;
    long long number;
  };
  std::vector<Field> fields_;
};

// Appends events to the file named by VEILPOST_UI_LOG (read when the transcript is made); without
// it events go nowhere. Each line is written with one append, so processes sharing the file never
// split each other's lines. A file that cannot be opened loses the event silently.
class Transcript {
 public:
  Transcript();
  void Record(const Event& event);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Appends `bytes` to the file at `path` (created when missing) with one write, so a line is never
// split by another process appending to the same file; false when it could not be written.
bool AppendWhole(const std::string& path, const std::string& bytes);

}  // namespace vp::uiscript
