// Command lines: the Windows C runtime's splitting rules and the unquoted-program resolution.
#include "platform/process.h"

namespace vp {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t p = 0;
  const size_t n = line.size();

  // The program name: quotes toggle and vanish, backslashes are plain characters, and the
  // name ends at the first blank outside quotes. Leading blanks are not skipped.
  std::string program;
  bool inQuote = false;
  for (; p < n; ++p) {
    char c = line[p];
    if (c == '"') {
      inQuote = !inQuote;
    } else if (!inQuote && IsBlank(c)) {
      break;
    } else {
      program.push_back(c);
    }
  }
  args.push_back(std::move(program));

  inQuote = false;
  while (true) {
    while (p < n && IsBlank(line[p])) ++p;
    if (p >= n) break;
    std::string arg;
    while (true) {
      size_t slashes = 0;
      while (p < n && line[p] == '\\') {
        ++p;
        ++slashes;
      }
      bool copy = true;
      if (p < n && line[p] == '"') {
        if (slashes % 2 == 0) {
          if (inQuote && p + 1 < n && line[p + 1] == '"') {
            ++p;  // "" inside quotes: one literal quote, still quoted
          } else {
            copy = false;
            inQuote = !inQuote;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, '\\');
      if (p >= n || (!inQuote && IsBlank(line[p]))) break;
      if (copy) arg.push_back(line[p]);
      ++p;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string QuoteWindowsArgument(std::string_view arg) {
  std::string quoted = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    // Backslashes before a quote are escapes there: double them and escape the quote too.
    quoted.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
    quoted.push_back(c);
    slashes = 0;
  }
  quoted.append(2 * slashes, '\\');  // they precede the closing quote
  quoted.push_back('"');
  return quoted;
}

std::string ResolveUnquotedProgram(std::string_view line, size_t* restOffset,
                                   bool (*exists)(const std::string&)) {
  // Candidate ends: every start of a run of blanks, and the end of the line.
  std::vector<size_t> ends;
  for (size_t i = 1; i < line.size(); ++i) {
    if (IsBlank(line[i]) && !IsBlank(line[i - 1])) ends.push_back(i);
  }
  if (line.empty() || !IsBlank(line.back())) ends.push_back(line.size());

  size_t chosen = ends.empty() ? 0 : ends.front();
  for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
    if (exists && exists(std::string(line.substr(0, *it)))) {
      chosen = *it;
      break;
    }
  }
  size_t rest = chosen;
  while (rest < line.size() && IsBlank(line[rest])) ++rest;
  if (restOffset) *restOffset = rest;
  return std::string(line.substr(0, chosen));
}

}  // namespace vp
