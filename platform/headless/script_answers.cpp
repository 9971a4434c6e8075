// Reading the answer script and parsing the actions of its dialog lines.
#include "platform/headless/script_answers.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vp::headless {
namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Cuts the next whitespace-delimited word off the front of `s`.
std::string TakeWord(std::string& s) {
  s = Trim(s);
  size_t end = 0;
  while (end < s.size() && !IsSpace(s[end])) ++end;
  std::string word = s.substr(0, end);
  s = Trim(s.substr(end));
  return word;
}

bool ParseInt(const std::string& word, int* value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < -2147483647L || v > 2147483647L) return false;
  *value = static_cast<int>(v);
  return true;
}

// A text argument: quoted (with \" and \\) or, unquoted, everything that is left.
bool ParseText(const std::string& s, std::string* text, std::string* error) {
  if (s.empty() || s[0] != '"') {
    *text = s;
    return true;
  }
  std::string out;
  size_t i = 1;
  for (; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) ++i;
    out += s[i];
  }
  if (i >= s.size()) {
    *error = "unterminated quoted text";
    return false;
  }
  if (!Trim(s.substr(i + 1)).empty()) {
    *error = "text after the closing quote";
    return false;
  }
  *text = out;
  return true;
}

}  // namespace

ScriptAnswers::ScriptAnswers(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error_ = "cannot read answer script " + path + ": " + strerror(errno);
    return;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  Parse(ss.str());
}

ScriptAnswers ScriptAnswers::FromText(const std::string& text) {
  ScriptAnswers answers;
  answers.Parse(text);
  return answers;
}

void ScriptAnswers::Parse(const std::string& text) {
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    std::string rest = Trim(raw);
    if (rest.empty() || rest[0] == '#') continue;
    std::string kind = TakeWord(rest);
    if (kind == "dialog" || kind == "window") kind += " " + TakeWord(rest);
    lines_.push_back({number, kind, rest});
  }
}

const ScriptLine* ScriptAnswers::Take(const std::string& kind) {
  for (ScriptLine& line : lines_) {
    if (!line.used && line.kind == kind) {
      line.used = true;
      return &line;
    }
  }
  return nullptr;
}

const ScriptLine* ScriptAnswers::TakeFirstOf(const std::vector<std::string>& kinds) {
  for (ScriptLine& line : lines_) {
    if (line.used) continue;
    for (const std::string& kind : kinds) {
      if (line.kind == kind) {
        line.used = true;
        return &line;
      }
    }
  }
  return nullptr;
}

std::vector<std::string> SplitActions(const std::string& line) {
  std::vector<std::string> actions;
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted && c == '\\' && i + 1 < line.size()) {
      current += c;
      current += line[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      if (!Trim(current).empty()) actions.push_back(Trim(current));
      current.clear();
      continue;
    }
    current += c;
  }
  if (!Trim(current).empty()) actions.push_back(Trim(current));
  return actions;
}

bool ParseAction(const std::string& text, ScriptAction* action, std::string* error) {
  std::string rest = text;
  *action = ScriptAction{};
  action->verb = TakeWord(rest);
  const std::string& verb = action->verb;
  if (verb == "click" || verb == "check" || verb == "uncheck") {
    if (!ParseInt(rest, &action->id)) {
      *error = verb + " wants a control id";
      return false;
    }
    return true;
  }
  if (verb == "type") {
    if (!ParseInt(TakeWord(rest), &action->id)) {
      *error = "type wants a control id";
      return false;
    }
    return ParseText(rest, &action->text, error);
  }
  if (verb == "select") {
    // "select ID TEXT" when a number is followed by more; otherwise all of it is the text.
    std::string probe = rest;
    int id = -1;
    if (ParseInt(TakeWord(probe), &id) && !probe.empty()) {
      action->id = id;
      rest = probe;
    }
    if (rest.empty()) {
      *error = "select wants an item text";
      return false;
    }
    return ParseText(rest, &action->text, error);
  }
  if (verb == "select-index") {
    if (!ParseInt(TakeWord(rest), &action->id) || !ParseInt(rest, &action->index)) {
      *error = "select-index wants a list id and an index";
      return false;
    }
    return true;
  }
  if (verb == "spin") {
    action->text = rest;
    if (!ParseInt(TakeWord(action->text), &action->id) ||
        (action->text != "up" && action->text != "down")) {
      *error = "spin wants an up-down control id and up or down";
      return false;
    }
    return true;
  }
  if (verb == "unselect-all") {
    if (!rest.empty() && !ParseInt(rest, &action->id)) {
      *error = "unselect-all takes a list id";
      return false;
    }
    return true;
  }
  if (verb == "key") {
    action->text = rest;
    if (rest != "enter" && rest != "escape") {
      *error = "key wants enter or escape";
      return false;
    }
    return true;
  }
  *error = "unknown action \"" + verb + "\"";
  return false;
}

}  // namespace vp::headless
