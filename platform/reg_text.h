// Registry text: parses and writes REGEDIT4 (.reg) text, keeping what it does not understand.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vp {

// One line of a section: a value ("Name"=data or @=data) or a line kept as written.
struct RegEntry {
  std::string name;  // decoded value name; "@" lines have isDefault set and an empty name
  bool isDefault = false;
  bool verbatim = false;  // a comment or a line this parser does not understand; kept in `data`
  std::string data;       // the text after '=' as written (continuation lines joined)
};

struct RegSection {
  std::string header;  // the text between '[' and ']', e.g. HKEY_CURRENT_USER\Software\X
  std::vector<RegEntry> entries;
};

// A whole file. Lines before the first section other than the REGEDIT4 signature and blank
// lines are kept in `preamble`; blank lines inside sections are not kept.
struct RegDocument {
  std::vector<std::string> preamble;
  std::vector<RegSection> sections;
};

// Never fails: anything unparseable becomes a verbatim entry (or preamble line). Accepts LF
// and CR LF line ends and a missing signature.
RegDocument ParseRegText(std::string_view text);

// Writes "REGEDIT4", a blank line, then every section followed by a blank line; LF line ends.
std::string FormatRegText(const RegDocument& doc);

// Quotes a string the .reg way: \ and " are escaped with a backslash; line feed and carriage
// return become \n and \r so that a value always stays on one line.
std::string QuoteRegString(std::string_view text);

// Reads a quoted string at the start of `text` (which must begin with '"'). Returns false when
// there is no closing quote; on success *consumed is the length including both quotes.
bool UnquoteRegString(std::string_view text, std::string* out, size_t* consumed);

// Header and value names compare as the registry compares them: ASCII case-insensitively. The
// empty value name means the key's default value (the "@" line).
RegSection* FindRegSection(RegDocument& doc, std::string_view header);
const RegSection* FindRegSection(const RegDocument& doc, std::string_view header);
RegSection& EnsureRegSection(RegDocument& doc, std::string_view header);
const RegEntry* FindRegValue(const RegSection& section, std::string_view name);

// Replace the value of that name or append it.
void SetRegString(RegSection& section, std::string_view name, std::string_view value);
void SetRegDword(RegSection& section, std::string_view name, uint32_t value);

// Value types, numbered as the registry numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegString = 1;
constexpr uint32_t kRegExpandString = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// The type of a value: a quoted string, dword:, hex: (binary) or hex(N):. kRegNone for a line
// that is not a value or an unknown form.
uint32_t RegValueType(const RegEntry& entry);

// The bytes the registry holds for a value: a string with its terminating zero, a dword as
// four little-endian bytes, hex:/hex(N): lists as given. False when the data cannot be read.
bool RegValueBytes(const RegEntry& entry, std::string* bytes);

// The lines of `text` that nothing reads: lines before the first section other than the
// signature, lines that are neither a value nor a comment (";"), and values whose data cannot
// be read. A rewrite keeps them as written; they are returned as written.
std::vector<std::string> UnreadRegLines(std::string_view text);

}  // namespace vp
