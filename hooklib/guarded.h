// Runs an export's body so that nothing is thrown back into the mail client's script.
#pragma once
#include <exception>
#include <new>

#include "hooklib/core/messages.h"

namespace vp {

// The body's result, or `failure` after telling the user why the operation stopped: the code
// below throws only when memory runs out (or on a fault of its own), never as a verdict.
template <typename Result, typename F>
Result Guarded(Result failure, F&& body) {
  const char* reason = nullptr;
  try {
    return body();
  } catch (const std::bad_alloc&) {
    reason = "Insufficient memory to complete the operation.";
  } catch (...) {
    reason = "The operation stopped on an internal error.";
  }
  try {
    ShowError("%s", reason);
  } catch (...) {
    // Nothing more can be said without memory; the result still tells the script.
  }
  return failure;
}

}  // namespace vp
