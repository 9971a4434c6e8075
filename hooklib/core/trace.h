// Trace log: one line per call appended to the file named by the "TraceFile" setting.
#pragma once
#include <cstddef>

#include "hooklib/core/printf_format.h"

namespace vp {

// Formats one line (cut at 8191 bytes) and appends it with CR LF. Does nothing when no trace
// file is configured or it cannot be opened. Texts from GnuPG or Notes go through "%s".
void WriteTrace(const char* format, ...) VP_PRINTF_FORMAT(1, 2);

// Appends "[DATA BEGIN]\r\n", the bytes unchanged, then "\r\n[DATA END]\r\n".
void WriteTraceData(const void* data, size_t size);

}  // namespace vp
