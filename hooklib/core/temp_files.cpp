// The temporary directory, the attachment working folder, and the secure wipe.
#include "hooklib/core/temp_files.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "platform/file_lock.h"
#include "platform/files.h"

namespace vp {
namespace {

char g_temp_dir[256];
constexpr unsigned char kWipePattern[] = {0x55, 0xAA};

}  // namespace

const char* GetTempDir() {
  CopyText(g_temp_dir, SystemTempPath().c_str());
  size_t n = strlen(g_temp_dir);
  if (n > 0 && g_temp_dir[n - 1] == kPathSeparator) g_temp_dir[n - 1] = '\0';
  return g_temp_dir;
}

int CreateTempWorkDir() {
  char path[256];
  snprintf(path, sizeof path, "%s%c%s", GetTempDir(), kPathSeparator, "pgptemp");
  if (MakeDirectory(path) == MakeDirResult::kMissingParent) {
    ShowError("Unable to create temp directory \"%s\".", path);
    return -1;
  }
  return 0;
}

int WipeFile(const char* path) {
  if (!path) return 0;
  std::string name(path);
  WipeHandle h;
  if (!WipeOpen(name, &h)) {
    // A file another process holds is left alone, as a file opened without sharing cannot be
    // deleted either; anything else unopenable is still deleted if the system lets us.
    if (!FileHeldByOther(name)) DeleteFilePath(name);
    return 0;
  }
  int result = 0;
  uint64_t size = 0;
  // The whole file is overwritten, however large: a partial wipe would leave plaintext behind.
  if (WipeSize(&h, &size) && size > 0) {
    if (!WipeMap(&h, size)) {
      ShowLastError();
      result = -1;
    } else {
      for (unsigned char byte : kWipePattern) WipeFillAndFlush(&h, byte);
    }
  }
  WipeClose(&h);
  DeleteFilePath(name);
  return result;
}

void ShowLastError() {
  std::string text = LastErrorText();
  if (text.empty()) text = "Unknown system error.";
  ShowError("%s", text.c_str());
}

}  // namespace vp
