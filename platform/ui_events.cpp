// Events as JSON lines over 8-bit texts: DEL and every byte above it become \u00XX, the code point
// of the same number, so no text can be refused as invalid UTF-8.
#include "platform/ui_events.h"

#include <cstdio>
#include <cstdlib>

namespace vp::uiscript {
namespace {

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

Event::Event(const std::string& kind) {
  Text("event", kind);
}

Event& Event::Text(const std::string& key, const std::string& value) {
  fields_.push_back({key, Type::kText, value, 0});
  return *this;
}

Event& Event::Number(const std::string& key, long long value) {
  fields_.push_back({key, Type::kNumber, {}, value});
  return *this;
}

Event& Event::Flag(const std::string& key, bool value) {
  fields_.push_back({key, Type::kFlag, {}, value ? 1 : 0});
  return *this;
}

std::string Event::TextOf(const std::string& key) const {
  for (const Field& f : fields_)
    if (f.type == Type::kText && f.key == key) return f.text;
  return "";
}

std::string Event::Json() const {
  std::string out = "{";
  for (const Field& f : fields_) {
    if (out.size() > 1) out += ',';
    AppendJsonString(out, f.key);
    out += ':';
    switch (f.type) {
      case Type::kText:
        AppendJsonString(out, f.text);
        break;
      case Type::kNumber:
        out += std::to_string(f.number);
        break;
      case Type::kFlag:
        out += f.number != 0 ? "true" : "false";
        break;
    }
  }
  return out + "}";
}

Transcript::Transcript() {
  if (const char* path = getenv("VEILPOST_UI_LOG")) path_ = path;
}

void Transcript::Record(const Event& event) {
  if (!path_.empty()) AppendWhole(path_, event.Json() + "\n");
}

}  // namespace vp::uiscript
