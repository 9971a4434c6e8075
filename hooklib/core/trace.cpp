// The trace log: the file named by the "TraceFile" setting, opened afresh for every call so that
// tracing can be switched on, off or elsewhere while the library runs.
#include "hooklib/core/trace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "hooklib/core/startup.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace vp {
namespace {

// The trace file's name, or "" when tracing is off or the setting cannot be read.
std::string TraceFileName() {
  RegistryKey key = nullptr;
  if (!RegistryOpenOrCreate(kConfigKeyPath, nullptr, &key)) return "";
  char name[260];
  bool ok = RegistryReadString(key, "TraceFile", name, sizeof name);
  RegistryClose(key);
  return ok ? std::string(name) : std::string();
}

// Writes as a text-mode stream does on the system the trace was made for: every line feed is
// stored as CR LF, on every platform, so trace files read the same everywhere.
void WriteTextMode(FILE* f, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') fputc('\r', f);
    fputc(*p, f);
  }
}

}  // namespace

void WriteTrace(const char* format, ...) {
  char line[8192];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);

  std::string file = TraceFileName();
  if (file.empty()) return;
  FILE* f = OpenRegularFile(file, FileUse::kAppend);
  if (!f) return;
  WriteTextMode(f, line);
  WriteTextMode(f, "\n");
  fclose(f);
}

void WriteTraceData(const void* data, size_t size) {
  std::string file = TraceFileName();
  if (file.empty()) return;
  FILE* f = OpenRegularFile(file, FileUse::kAppend);
  if (!f) return;
  fputs("[DATA BEGIN]\r\n", f);
  if (size) fwrite(data, 1, size, f);
  fputs("\r\n[DATA END]\r\n", f);
  fclose(f);
}

}  // namespace vp
