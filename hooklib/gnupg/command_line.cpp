// Building and checking the GnuPG command line.
#include "hooklib/gnupg/command_line.h"

#include <cstdio>

#include "hooklib/core/settings.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "platform/process.h"

namespace vp {
namespace {

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n' || c == '\0';
}

}  // namespace

std::string GnuPGCommandLine(const char* options, const char* inputFile, const char* outputFile) {
  const SharedSettings& s = Settings();
  const char* fixed = "--gnupg --yes --passphrase-fd 0 --command-fd 0 --status-fd 1 --logger-fd 1";
  // GnuPG 2.1 and later would ignore the passphrase on fd 0 and ask through its agent again.
  const char* loopback = (!s.bUseAgent && ProgramVersion(s.szGpgApp).NeedsLoopback())
                             ? " --pinentry-mode loopback"
                             : "";
  std::string line =
      std::string(s.szGpgApp) + " " + fixed + loopback + " " + (options ? options : "");
  if (outputFile) line += " -o " + QuoteWindowsArgument(outputFile);
  // After "--" the operand is never an option, whatever it begins with: a key pattern or a file
  // name comes from other people ("--status-file=x" must not have GnuPG write a file).
  if (inputFile) line += " -- " + QuoteWindowsArgument(inputFile);
  return line;
}

std::string GnuPGCommandLine(const char* options, const std::vector<std::string>& operands) {
  std::string line = GnuPGCommandLine(options, nullptr, nullptr);
  if (operands.empty()) return line;
  line += " --";
  for (const std::string& operand : operands) line += " " + QuoteWindowsArgument(operand);
  return line;
}

size_t OperandLength(const std::string& operand) {
  return 1 + QuoteWindowsArgument(operand).size();
}

std::string CommandLineProblem(const std::string& line) {
  char text[200];
  if (line.size() > kMaxCommandLine) {
    snprintf(text, sizeof text,
             "The GnuPG command line is too long (%zu characters; at most %zu are allowed).",
             line.size(), kMaxCommandLine);
    return text;
  }
  for (const std::string& arg : SplitWindowsCommandLine(line)) {
    bool broken = false;
    std::string shown;
    for (char c : arg) {
      broken = broken || IsLineBreak(c);
      shown.push_back(IsLineBreak(c) ? '?' : c);
    }
    if (broken) {
      return "GnuPG cannot take the name or file name \"" + shown +
             "\": it holds a line break (shown as ?).";
    }
  }
  return "";
}

}  // namespace vp
