// Events as JSON lines: nlohmann's escaping over the 8-bit texts read as Latin-1.
#include "platform/headless/ui_events.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

namespace vp::headless {
namespace {

// Each byte becomes the code point of the same number, so that ensure_ascii output writes every
// byte above 0x7F as \u00XX and no 8-bit text can be rejected as invalid UTF-8.
std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
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
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const Field& f : fields_) {
    switch (f.type) {
      case Type::kText:
        object[Latin1ToUtf8(f.key)] = Latin1ToUtf8(f.text);
        break;
      case Type::kNumber:
        object[Latin1ToUtf8(f.key)] = f.number;
        break;
      case Type::kFlag:
        object[Latin1ToUtf8(f.key)] = f.number != 0;
        break;
    }
  }
  return object.dump(-1, ' ', true);
}

Transcript::Transcript() {
  if (const char* path = getenv("VEILPOST_UI_LOG")) path_ = path;
}

void Transcript::Record(const Event& event) {
  if (path_.empty()) return;
  int fd = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string line = event.Json() + "\n";
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace vp::headless
