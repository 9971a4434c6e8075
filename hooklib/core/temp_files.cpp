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

// What a wipe came to, for callers that tell the user themselves.
enum class WipeEnd { kGone, kLeft, kNotAFile, kFailed };

// Wipes `path`; `report`: tell the user why when it fails.
WipeEnd WipeName(const char* path, bool report) {
  if (!path) return WipeEnd::kGone;
  std::string name(path);
  WipeHandle h;
  switch (WipeOpen(name, &h)) {
    case WipeOpenResult::kMissing:
      return WipeEnd::kGone;
    case WipeOpenResult::kHeld:
      // Another process holds it, as a file opened without sharing cannot be deleted either.
      return WipeEnd::kLeft;
    case WipeOpenResult::kNotOwnFile:
      // Not ours to write into: only the name goes (a link, never what it points to).
      if (DeleteFilePath(name) || ClassifyName(name) == NameKind::kMissing) return WipeEnd::kGone;
      if (report) ShowError("Unable to delete %s.", path);
      return WipeEnd::kFailed;
    case WipeOpenResult::kNotAFile:
      // A FIFO, device, socket or folder is nobody's temporary file: it stays as it is.
      if (report) ShowError("%s is not a regular file; it was left as it is.", path);
      return WipeEnd::kNotAFile;
    case WipeOpenResult::kFailed:
      if (report) ShowLastError();
      DeleteFilePath(name);
      return WipeEnd::kFailed;
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
  if (written) return WipeEnd::kGone;
  if (report) ShowError("%s", failure.empty() ? "Unknown system error." : failure.c_str());
  return WipeEnd::kFailed;
}

int Wipe(const char* path, bool report) {
  WipeEnd end = WipeName(path, report);
  return end == WipeEnd::kGone || end == WipeEnd::kLeft ? 0 : -1;
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
  // Decrypted attachments go there: a folder someone else made, can change, or that leads
  // elsewhere is not used (it could be another user's, planted under the shared name).
  std::string refusal = WorkFolderRefusal(path);
  if (!refusal.empty()) {
    WriteTrace("%s", refusal.c_str());
    ShowError("%s", refusal.c_str());
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
  // An older file of ours under the name may hold plaintext and is wiped; a link or another's
  // file there loses its name without being opened, and the rename never follows what stands
  // there. A FIFO, device or folder under the name is not replaced: the message says so.
  WipeEnd before = WipeName(target.c_str(), true);
  if ((before == WipeEnd::kGone || before == WipeEnd::kLeft) && ReplaceFile(scratch, target))
    return 0;
  if (before != WipeEnd::kNotAFile) {
    std::string why = LastErrorText();
    ShowError("Unable to write %s: %s", target.c_str(), why.c_str());
  }
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
