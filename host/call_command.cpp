// veilpost call: calls one export of the hook library as the mail client's script would.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "hooklib/export.h"
#include "host/commands.h"
#include "host/library.h"

namespace vphost {
namespace {

enum class Shape {
  kInt,         // int f(void)
  kText,        // const char* f(void)
  kIntStrings,  // int f(char*, ...) with a fixed number of texts
  kCheckKey,    // int f(char*, int*)
};

struct ExportShape {
  const char* name;
  Shape shape;
  const char* args;    // one word per text argument
  const char* result;  // what the printed result means
};

const ExportShape kExports[] = {
    {"InitOrlavex", Shape::kIntStrings, "NOTES_VERSION SUBFORM_VERSION",
     "0 when the subform version is 1.5.5, else -1"},
    {"PgpInit", Shape::kInt, "", "0"},
    {"PgpExit", Shape::kInt, "", "0"},
    {"GetLaunchConfig", Shape::kInt, "", "ShowProcAttDlg: 1 shows the attachment dialog"},
    {"GetAutoOpenPgpMail", Shape::kInt, "", "AutoOpenPgpMail: 1 opens PGP mail at once"},
    {"GetTempDir", Shape::kText, "", "the temporary folder"},
    {"WipeFile", Shape::kIntStrings, "PATH",
     "0 when overwritten and deleted (or missing), -1 when it could not be overwritten"},
    {"PgpCheckKey", Shape::kCheckKey, "NAME",
     "0 when the key listing ran, -1 when not; then \"found 1\" when a key matches, else "
     "\"found 0\""},
    {"DoEncrypt", Shape::kIntStrings, "SERVER SENDER RECIPIENTS BODY ATTACHMENTS",
     "own key not attached 0, as text 1, as attachment 2; plus 16 when the attachments were "
     "encrypted; -1 when cancelled or failed. Recipients separated by \";\", attachment "
     "paths by \",\"; the body goes to mailbody.pgp in the temporary folder"},
    {"DoDecryptAttachments", Shape::kIntStrings, "NAME ATTACHMENTS",
     "0, whatever happened in the dialog; -1 before InitOrlavex"},
    {"IsPgpMail", Shape::kIntStrings, "BODY", "1 when BODY holds an armour header line, else 0"},
    {"DoDecryptBody", Shape::kIntStrings, "NAME BODY ATTACHMENTS",
     "0 when mailbody.pgp in the temporary folder holds the plaintext, -1 when not"},
    {"DoQuoteBody", Shape::kIntStrings, "TEXT",
     "0 when mailbody.pgp in the temporary folder holds TEXT, -1 when not"},
    {"CreateVeilpostTemplate", Shape::kIntStrings,
     "SUBFORM_DATABASE STANDARD_TEMPLATE NEW_TEMPLATE", "0 when the template was built, else -1"},
    {"ReplaceDatabaseDesign", Shape::kIntStrings, "TEMPLATE DATABASE",
     "0 when the database inherits the template's design, else -1"},
};

int ArgumentCount(const ExportShape& e) {
  int n = 0;
  for (const char* p = e.args; *p; ++p)
    if (*p != ' ' && (p == e.args || p[-1] == ' ')) ++n;
  return n;
}

std::string ExportList() {
  std::string text = "Exports (the result is printed on the first line):\n";
  for (const ExportShape& e : kExports) {
    text += "  " + std::string(e.name) + (*e.args ? " " : "") + e.args + "\n      -> " + e.result +
            "\n";
  }
  text += "An argument @FILE is the content of FILE, @- standard input, @@TEXT the text @TEXT.\n";
  return text;
}

struct CallOptions {
  std::string notesVersion = "9.0.1";
  std::string subformVersion = "1.5.5";
  bool noInit = false;
  std::string exportName;
  std::vector<std::string> args;
};

[[noreturn]] void UsageError(const std::string& message) {
  fprintf(stderr, "veilpost call: %s\n", message.c_str());
  exit(2);
}

// The script hands the library writable texts; some exports change them in place.
std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(std::max<size_t>(text.size() + 1, 256), '\0');
  return buffer;
}

int RunCall(const CallOptions& o) {
  const ExportShape* shape = nullptr;
  for (const ExportShape& e : kExports) {
    if (o.exportName == e.name) shape = &e;
  }
  if (!shape) UsageError("unknown export " + o.exportName);
  int count = ArgumentCount(*shape);
  if (static_cast<int>(o.args.size()) != count) {
    UsageError(o.exportName + " takes " + std::to_string(count) + " argument(s), " +
               std::to_string(o.args.size()) + " given" +
               (count ? std::string(": ") + shape->args : std::string()));
  }
  std::vector<std::vector<char>> texts;
  try {
    for (const std::string& a : o.args) texts.push_back(Writable(ReadArgument(a)));
  } catch (const std::exception& e) {
    UsageError(e.what());
  }

  OpenClientWindow();
  void* lib = LoadHookLibrary();
  if (!o.noInit) {
    auto init =
        reinterpret_cast<int(VP_CALL*)(const char*, const char*)>(FindExport(lib, "InitOrlavex"));
    if (!init) UsageError("the library has no InitOrlavex");
    init(o.notesVersion.c_str(), o.subformVersion.c_str());
  }
  void* fn = FindExport(lib, shape->name);
  if (!fn) UsageError(std::string("the library does not export ") + shape->name + " yet");

  switch (shape->shape) {
    case Shape::kInt:
      printf("%d\n", reinterpret_cast<int(VP_CALL*)()>(fn)());
      break;
    case Shape::kText:
      printf("%s\n", reinterpret_cast<const char*(VP_CALL*)()>(fn)());
      break;
    case Shape::kCheckKey: {
      int found = 0;
      int rc = reinterpret_cast<int(VP_CALL*)(char*, int*)>(fn)(texts[0].data(), &found);
      printf("%d\nfound %d\n", rc, found);
      break;
    }
    case Shape::kIntStrings: {
      int rc = 0;
      auto t = [&](int i) { return texts[i].data(); };
      switch (count) {
        case 1:
          rc = reinterpret_cast<int(VP_CALL*)(char*)>(fn)(t(0));
          break;
        case 2:
          rc = reinterpret_cast<int(VP_CALL*)(char*, char*)>(fn)(t(0), t(1));
          break;
        case 3:
          rc = reinterpret_cast<int(VP_CALL*)(char*, char*, char*)>(fn)(t(0), t(1), t(2));
          break;
        case 5:
          rc = reinterpret_cast<int(VP_CALL*)(char*, char*, char*, char*, char*)>(fn)(
              t(0), t(1), t(2), t(3), t(4));
          break;
        default:
          UsageError("unsupported export shape");
      }
      printf("%d\n", rc);
      break;
    }
  }
  fflush(stdout);
  return 0;
}

}  // namespace

void AddCallCommand(CLI::App& app) {
  auto o = std::make_shared<CallOptions>();
  CLI::App* cmd = app.add_subcommand("call", "Call an export of the hook library");
  cmd->add_option("--notes-version", o->notesVersion, "Notes client version for InitOrlavex");
  cmd->add_option("--subform-version", o->subformVersion, "Subform version for InitOrlavex");
  cmd->add_flag("--no-init", o->noInit, "Do not call InitOrlavex first");
  cmd->add_option("export", o->exportName, "Name of the export")->required();
  cmd->add_option("args", o->args, "Arguments of the export (listed below)");
  cmd->allow_extras(false);
  cmd->footer(ExportList());
  cmd->callback([o] { exit(RunCall(*o)); });
}

}  // namespace vphost
