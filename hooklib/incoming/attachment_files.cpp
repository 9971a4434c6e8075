// File services of the attachment dialog: names, copies, the save-as chooser and the shell.
#include "hooklib/incoming/attachment_files.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/incoming/scratch_file.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace vp {
namespace {

const char* const kEncryptedExtensions[] = {".pgp", ".gpg", ".asc"};
constexpr size_t kChunk = 16384;

struct ShellText {
  int code;
  const char* text;
};
const ShellText kShellTexts[] = {
    {0, "The operating system is out of memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied access to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred."},
    {27, "The filename association is incomplete or invalid."},
    {28, "The DDE transaction could not be completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30,
     "The DDE transaction could not be completed because other DDE transactions were being "
     "processed."},
    {31, "There is no application associated with the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
};

// Copies the whole of `in` to `out`; false on a read or write error.
bool CopyStream(FILE* in, FILE* out) {
  static char chunk[kChunk];
  bool ok = true;
  for (;;) {
    size_t n = fread(chunk, 1, kChunk, in);
    if (n > 0 && fwrite(chunk, 1, n, out) != n) ok = false;
    if (!ok || n < kChunk) break;
  }
  ok = ok && !ferror(in);
  memset(chunk, 0, sizeof chunk);
  return ok;
}

// Copies `source` into `target` opened with `use`; messages name `shown`.
int CopyInto(const char* source, const char* target, FileUse use, const char* shown) {
  FILE* in = OpenRegularFile(source, FileUse::kRead);
  if (!in) {
    ShowError("%s cannot be opened for reading!", ShownText(source).c_str());
    return -1;
  }
  FILE* out = OpenRegularFile(target, use);
  if (!out) {
    fclose(in);
    ShowError("%s cannot be opened for writing!", ShownText(shown).c_str());
    return -1;
  }
  bool copied = CopyStream(in, out);
  fclose(in);
  // A short copy (a full disk) is no copy: what was written goes.
  if (fclose(out) != 0 || !copied) {
    WipeFile(target);
    ShowError("%s could not be written completely.", ShownText(shown).c_str());
    return -1;
  }
  return 0;
}

}  // namespace

bool HasEncryptedExtension(const char* name) {
  size_t n = name ? strlen(name) : 0;
  if (n < 4) return false;
  for (const char* ext : kEncryptedExtensions) {
    bool same = true;
    for (size_t i = 0; i < 4; ++i)
      same = same && tolower(static_cast<unsigned char>(name[n - 4 + i])) == ext[i];
    if (same) return true;
  }
  return false;
}

void StripEncryptedExtension(std::string& name) {
  if (HasEncryptedExtension(name.c_str())) name.resize(name.size() - 4);
}

std::string DefaultExtension(const char* proposedName) {
  const char* dot = strchr(proposedName, '.');
  if (!dot) return "";
  const char* end = strchr(dot + 1, '.');
  return end ? std::string(dot + 1, end) : std::string(dot + 1);
}

int CopyFileData(const char* source, const char* target) {
  return CopyInto(source, target, FileUse::kCreateNew, target);
}

int CopyFileOver(const char* source, const char* target) {
  ScratchFile scratch;
  if (!scratch.ReserveBeside(target)) {
    ShowError("%s cannot be opened for writing!", target);
    return -1;
  }
  // The reserved file is empty: appending writes it from the start.
  if (CopyInto(source, scratch.Path(), FileUse::kAppend, target) != 0) return -1;
  return scratch.InstallAs(target);
}

int AskSaveAsPath(char* buffer, size_t size) {
  SaveAsRequest request;
  request.proposedName = buffer;
  request.startFolder = Settings().defaultDirectory;
  request.defaultExtension = DefaultExtension(buffer);
  std::string chosen;
  if (!Ui().ChooseSaveAsPath(NotesWindow(), request, &chosen)) return 0;
  if (chosen.size() >= size) {
    ShowError("The path \"%s\" is too long.", chosen.c_str());
    return 0;
  }
  memcpy(buffer, chosen.c_str(), chosen.size() + 1);
  return 1;
}

void OpenWithShell(const char* path) {
  int result = Ui().ShellOpen(path);
  if (result > 32) return;
  for (const ShellText& t : kShellTexts) {
    if (t.code == result) ShowError("%s", t.text);
  }
}

}  // namespace vp
