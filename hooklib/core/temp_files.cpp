// The temporary directory, the attachment working folder, private files and the secure wipe.
#include "hooklib/core/temp_files.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "platform/files.h"

namespace vp {
namespace {

char g_temp_dir[256];
constexpr unsigned char kWipePattern[] = {0x55, 0xAA};
constexpr char kScratchPrefix[] = "veilpost";

std::string FolderOf(const std::string& path) {
  size_t cut = path.rfind(kPathSeparator);
  if (cut == std::string::npos) return ".";
  return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

int Wipe(const char* path, bool report) {
  if (!path) return 0;
  std::string name(path);
  WipeHandle h;
  switch (WipeOpen(name, &h)) {
    case WipeOpenResult::kMissing:
      return 0;
    case WipeOpenResult::kHeld:
      // Another process holds it, as a file opened without sharing cannot be deleted either.
      return 0;
    case WipeOpenResult::kNotOwnFile:
      // Not ours to write into: only the name goes.
      if (DeleteFilePath(name) || ClassifyName(name) == NameKind::kMissing) return 0;
      if (report) ShowError("Unable to delete %s.", path);
      return -1;
    case WipeOpenResult::kFailed:
      if (report) ShowLastError();
      DeleteFilePath(name);
      return -1;
    case WipeOpenResult::kOpened:
      break;
  }
  bool written = true;
  // The whole file is overwritten, however large: a partial wipe would leave plaintext behind.
  if (h.size > 0) {
    for (unsigned char byte : kWipePattern) {
      written = WipeFill(&h, byte) && WipeFlush(&h);
      if (!written) break;
    }
  }
  std::string failure = written ? "" : LastErrorText();
  WipeClose(&h);
  // A file that could not be overwritten (a full disk) still goes.
  DeleteFilePath(name);
  if (written) return 0;
  if (report) ShowError("%s", failure.empty() ? "Unknown system error." : failure.c_str());
  return -1;
}

}  // namespace

const char* TempDirQuietly(std::string* refusal) {
  std::string path = SystemTempPath(refusal);
  CopyText(g_temp_dir, path.c_str());
  size_t n = strlen(g_temp_dir);
  if (n > 0 && g_temp_dir[n - 1] == kPathSeparator) g_temp_dir[n - 1] = '\0';
  return g_temp_dir;
}

const char* GetTempDir() {
  std::string refusal;
  const char* dir = TempDirQuietly(&refusal);
  if (!dir[0]) {
    WriteTrace("%s", refusal.c_str());
    ShowError("%s", refusal.c_str());
  }
  return dir;
}

int CreateTempWorkDir() {
  const char* dir = GetTempDir();
  if (!dir[0]) return -1;
  char path[256];
  snprintf(path, sizeof path, "%s%c%s", dir, kPathSeparator, "pgptemp");
  if (MakeDirectory(path) == MakeDirResult::kMissingParent) {
    ShowError("Unable to create temp directory \"%s\".", path);
    return -1;
  }
  return 0;
}

int WipeFile(const char* path) {
  return Wipe(path, true);
}

std::string CreateScratchFile(const std::string& dir) {
  if (dir.empty()) return "";
  return CreateUniqueFile(dir, kScratchPrefix);
}

std::string CreateScratchBeside(const std::string& path) {
  return CreateScratchFile(FolderOf(path));
}

int InstallFile(const std::string& scratch, const std::string& target) {
  // An older file of ours under the name may hold plaintext and is wiped; anything else there
  // loses its name without being opened, and the rename never follows what stands there.
  if (WipeFile(target.c_str()) == 0 && ReplaceFile(scratch, target)) return 0;
  std::string why = LastErrorText();
  ShowError("Unable to write %s: %s", target.c_str(), why.c_str());
  Wipe(scratch.c_str(), false);
  return -1;
}

int WritePrivateFile(const std::string& target, const void* data, size_t size) {
  std::string scratch = CreateScratchBeside(target);
  if (scratch.empty()) {
    ShowError("Unable to open %s for writing.", target.c_str());
    return -1;
  }
  if (!WriteFileContent(scratch, data, size)) {
    std::string why = LastErrorText();
    Wipe(scratch.c_str(), false);
    ShowError("Unable to write %s: %s", target.c_str(), why.c_str());
    return -1;
  }
  return InstallFile(scratch, target);
}

void WipeLeftovers() {
  std::string temp = SystemTempPath();
  std::string folders[] = {TempFileDirectory(), temp,
                           temp.empty() ? "" : temp + kPathSeparator + "pgptemp"};
  for (size_t i = 0; i < sizeof folders / sizeof folders[0]; ++i) {
    if (folders[i].empty() || (i == 1 && folders[i] == folders[0])) continue;
    for (const std::string& path : UnheldLeftovers(folders[i], kScratchPrefix)) {
      WriteTrace("Wiping %s, left behind by an earlier run.", path.c_str());
      Wipe(path.c_str(), false);
    }
  }
}

void ShowLastError() {
  std::string text = LastErrorText();
  if (text.empty()) text = "Unknown system error.";
  ShowError("%s", text.c_str());
}

}  // namespace vp
