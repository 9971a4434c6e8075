// The Windows command-line splitter, argument quoting and the unquoted-program resolution. The
// input is a command line, and, cut at its zero bytes, the arguments to quote.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/process.h"

namespace {

// A deterministic file system: a path exists when its length is odd.
bool OddLengthExists(const std::string& path) {
  return path.size() % 2 == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto args = vp::SplitWindowsCommandLine(line);
  FUZZ_CHECK(!args.empty());
  for (size_t i = 1; i < args.size(); ++i) FUZZ_CHECK(args[i].size() <= line.size());

  size_t rest = 0;
  const std::string program = vp::ResolveUnquotedProgram(line, &rest, OddLengthExists);
  FUZZ_CHECK(rest <= line.size() && program.size() <= rest);
  FUZZ_CHECK(line.substr(0, program.size()) == program);

  // Every quoted argument comes back from the splitter as itself, whatever it holds.
  std::vector<std::string> given{"gpg"};
  std::string quoted = "gpg";
  for (size_t start = 0; start <= line.size();) {
    size_t end = std::min(line.find('\0', start), line.size());
    given.emplace_back(line.substr(start, end - start));
    quoted += " " + vp::QuoteWindowsArgument(given.back());
    start = end + 1;
  }
  FUZZ_CHECK(vp::SplitWindowsCommandLine(quoted) == given);
  return 0;
}
