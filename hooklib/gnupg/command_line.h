// The GnuPG command line of one run: the program, the fixed frame, the caller's options and the
// quoted file names, and the checks it must pass before GnuPG is started with it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace vp {

// The longest command line GnuPG is started with: the Windows limit, kept on both builds so
// that what can be sent on one can be sent on the other.
constexpr size_t kMaxCommandLine = 32767;

// The command line for `options`, then -o and outputFile, then "--" and inputFile (either may
// be null; both are quoted with QuoteWindowsArgument, so neither can become two arguments, and
// neither is read as an option: one is the value of -o, the other follows "--").
std::string GnuPGCommandLine(const char* options, const char* inputFile, const char* outputFile);

// The same with several operands after "--" (each quoted alone; none when the list is empty).
std::string GnuPGCommandLine(const char* options, const std::vector<std::string>& operands);

// The characters an operand adds to a command line: a blank and its quoted form.
size_t OperandLength(const std::string& operand);

// Why GnuPG must not be started with `line`, as a text for the user: longer than
// kMaxCommandLine, or an argument holding a line break (GnuPG would echo it into its output,
// where the next line could pose as a status line). "" when the line is fine.
std::string CommandLineProblem(const std::string& line);

}  // namespace vp
