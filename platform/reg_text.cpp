// Registry text: the REGEDIT4 reader and writer behind the file-backed registry.
#include "platform/reg_text.h"

namespace vp {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    lines.push_back(TrimRight(text.substr(0, nl)));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

bool IsHeader(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// Reads one value line; false when it is not of the "Name"=data or @=data form.
bool ParseValueLine(std::string_view line, RegEntry* entry) {
  std::string_view rest;
  if (line.size() >= 2 && line[0] == '@' && TrimLeft(line.substr(1)).starts_with('=')) {
    entry->isDefault = true;
    rest = TrimLeft(line.substr(1));
  } else if (!line.empty() && line[0] == '"') {
    size_t consumed = 0;
    if (!UnquoteRegString(line, &entry->name, &consumed)) return false;
    rest = TrimLeft(line.substr(consumed));
    if (!rest.starts_with('=')) return false;
  } else {
    return false;
  }
  entry->data = std::string(TrimLeft(rest.substr(1)));
  return true;
}

bool ParseHexList(std::string_view list, std::string* bytes) {
  std::string out;
  while (true) {
    list = TrimLeft(list);
    if (list.empty()) break;
    if (list.size() < 2) return false;
    int hi = HexDigit(list[0]);
    int lo = HexDigit(list[1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
    list = TrimLeft(list.substr(2));
    if (list.empty()) break;
    if (list.front() != ',') return false;
    list.remove_prefix(1);
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace

std::string QuoteRegString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

bool UnquoteRegString(std::string_view text, std::string* out, size_t* consumed) {
  if (text.empty() || text[0] != '"') return false;
  std::string value;
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      *out = std::move(value);
      *consumed = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      value.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next);
    } else {
      value.push_back(c);
    }
  }
  return false;
}

RegDocument ParseRegText(std::string_view text) {
  RegDocument doc;
  std::vector<std::string_view> lines = SplitLines(text);
  bool signatureAllowed = true;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (TrimLeft(line).empty()) continue;
    if (IsHeader(line)) {
      doc.sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    if (doc.sections.empty()) {
      if (!(signatureAllowed && line == "REGEDIT4")) doc.preamble.emplace_back(line);
      signatureAllowed = false;
      continue;
    }
    RegEntry entry;
    if (!ParseValueLine(line, &entry)) {
      entry = RegEntry{};
      entry.verbatim = true;
      entry.data = std::string(line);
    } else if (StartsWithNoCase(entry.data, "hex")) {
      // Long binary values continue on the next lines after a trailing backslash.
      while (!entry.data.empty() && entry.data.back() == '\\' && i + 1 < lines.size()) {
        entry.data.pop_back();
        entry.data += TrimLeft(lines[++i]);
      }
      // A backslash ending the text's last line continues nothing; kept, it would join the next
      // line this document is written with and swallow that value. Blanks and carriage returns
      // left at the end go too, as a written line loses them when read again.
      while (!entry.data.empty() && (entry.data.back() == '\\' || entry.data.back() == '\r' ||
                                     IsBlank(entry.data.back()))) {
        entry.data.pop_back();
      }
    }
    doc.sections.back().entries.push_back(std::move(entry));
  }
  return doc;
}

std::string FormatRegText(const RegDocument& doc) {
  std::string out = "REGEDIT4\n\n";
  for (const std::string& line : doc.preamble) out += line + "\n";
  if (!doc.preamble.empty()) out += "\n";
  for (const RegSection& section : doc.sections) {
    out += "[" + section.header + "]\n";
    for (const RegEntry& entry : section.entries) {
      if (entry.verbatim) {
        out += entry.data;
      } else if (entry.isDefault) {
        out += "@=" + entry.data;
      } else {
        out += QuoteRegString(entry.name) + "=" + entry.data;
      }
      out += "\n";
    }
    out += "\n";
  }
  return out;
}

RegSection* FindRegSection(RegDocument& doc, std::string_view header) {
  for (RegSection& section : doc.sections) {
    if (SameName(section.header, header)) return &section;
  }
  return nullptr;
}

const RegSection* FindRegSection(const RegDocument& doc, std::string_view header) {
  return FindRegSection(const_cast<RegDocument&>(doc), header);
}

RegSection& EnsureRegSection(RegDocument& doc, std::string_view header) {
  if (RegSection* found = FindRegSection(doc, header)) return *found;
  doc.sections.push_back({std::string(header), {}});
  return doc.sections.back();
}

namespace {

// The empty name stands for the key's default value, written "@".
bool Names(const RegEntry& entry, std::string_view name) {
  if (entry.verbatim) return false;
  if (name.empty()) return entry.isDefault;
  return !entry.isDefault && SameName(entry.name, name);
}

}  // namespace

const RegEntry* FindRegValue(const RegSection& section, std::string_view name) {
  for (const RegEntry& entry : section.entries) {
    if (Names(entry, name)) return &entry;
  }
  return nullptr;
}

namespace {

void SetRegData(RegSection& section, std::string_view name, std::string data) {
  for (RegEntry& entry : section.entries) {
    if (Names(entry, name)) {
      entry.data = std::move(data);
      return;
    }
  }
  RegEntry entry;
  entry.name = std::string(name);
  entry.isDefault = name.empty();
  entry.data = std::move(data);
  section.entries.push_back(std::move(entry));
}

}  // namespace

void SetRegString(RegSection& section, std::string_view name, std::string_view value) {
  SetRegData(section, name, QuoteRegString(value));
}

void SetRegDword(RegSection& section, std::string_view name, uint32_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string data = "dword:";
  for (int shift = 28; shift >= 0; shift -= 4) data.push_back(kDigits[(value >> shift) & 0xF]);
  SetRegData(section, name, std::move(data));
}

uint32_t RegValueType(const RegEntry& entry) {
  if (entry.verbatim) return kRegNone;
  std::string_view data = TrimRight(entry.data);
  if (data.starts_with('"')) return kRegString;
  if (StartsWithNoCase(data, "dword:")) return kRegDword;
  if (StartsWithNoCase(data, "hex:")) return kRegBinary;
  if (!StartsWithNoCase(data, "hex(")) return kRegNone;
  size_t close = data.find("):");
  if (close == std::string_view::npos || close < 5 || close > 12) return kRegNone;
  uint32_t type = 0;
  for (char c : data.substr(4, close - 4)) {
    int d = HexDigit(c);
    if (d < 0) return kRegNone;
    type = type * 16 + static_cast<uint32_t>(d);
  }
  return type;
}

bool RegValueBytes(const RegEntry& entry, std::string* bytes) {
  if (entry.verbatim) return false;
  std::string_view data = TrimRight(entry.data);
  if (data.starts_with('"')) {
    std::string text;
    size_t consumed = 0;
    if (!UnquoteRegString(data, &text, &consumed) || consumed != data.size()) return false;
    text.push_back('\0');
    *bytes = std::move(text);
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t value = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      value = value * 16 + static_cast<uint32_t>(d);
    }
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    *bytes = std::move(out);
    return true;
  }
  if (StartsWithNoCase(data, "hex")) {
    size_t colon = data.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view kind = data.substr(3, colon - 3);
    // "hex:" or "hex(N):" with a hexadecimal type number.
    if (!kind.empty()) {
      if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') return false;
      for (char c : kind.substr(1, kind.size() - 2)) {
        if (HexDigit(c) < 0) return false;
      }
    }
    return ParseHexList(data.substr(colon + 1), bytes);
  }
  return false;
}

std::vector<std::string> UnreadRegLines(std::string_view text) {
  RegDocument doc = ParseRegText(text);
  std::vector<std::string> lines;
  auto unread = [&](const std::string& line) {
    if (!TrimLeft(line).starts_with(';')) lines.push_back(line);
  };
  for (const std::string& line : doc.preamble) unread(line);
  std::string bytes;
  for (const RegSection& section : doc.sections) {
    for (const RegEntry& entry : section.entries) {
      if (entry.verbatim)
        unread(entry.data);
      else if (!RegValueBytes(entry, &bytes))
        lines.push_back((entry.isDefault ? "@" : QuoteRegString(entry.name)) + "=" + entry.data);
    }
  }
  return lines;
}

}  // namespace vp
