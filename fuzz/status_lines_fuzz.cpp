// The status-line reader: a whole run result, its verdict, then each of its lines.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/incoming/run_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string result(reinterpret_cast<const char*>(data), size);
  vp::RunReportsWrongPassphrase(result.c_str());
  // A damaged, altered or cut message is never a success, and a bad signature is always told.
  const vp::RunVerdict verdict = vp::ReadDecryptRun(result.c_str());
  auto has = [&result](const char* keyword) { return vp::HasStatus(result.c_str(), keyword); };
  if (has("DECRYPTION_FAILED") || has("BADMDC") ||
      (has("BEGIN_DECRYPTION") && !has("END_DECRYPTION"))) {
    FUZZ_CHECK(verdict.outcome != vp::RunOutcome::kComplete);
  }
  if (verdict.outcome != vp::RunOutcome::kWrongPassphrase && has("BADSIG")) {
    FUZZ_CHECK(verdict.HasBadSignature());
  }
  size_t start = 0;
  while (start <= result.size()) {
    size_t end = result.find_first_of("\r\n", start);
    if (end == std::string::npos) end = result.size();
    const std::string line = result.substr(start, end - start);
    vp::IsWrongPassphraseLine(line.c_str());
    vp::ClassifyDecryptLine(line.c_str());
    const char* signer = vp::GoodSignatureSigner(line.c_str());
    FUZZ_CHECK(*signer == '\0' || (signer > line.c_str() && signer <= line.c_str() + line.size()));
    for (int n = 0; n < 9; ++n) {
      FUZZ_CHECK(vp::StatusField(line.c_str(), n).find_first_of(" \r\n") == std::string::npos);
    }
    start = end + 1;
  }
  return 0;
}
