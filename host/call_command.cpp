// veilpost call: calls one export of the hook library as the mail client's script would.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/library.h"
#include "platform/headless/window_table.h"

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
  int texts;
};

const ExportShape kExports[] = {
    {"InitOrlavex", Shape::kIntStrings, 2},
    {"PgpInit", Shape::kInt, 0},
    {"PgpExit", Shape::kInt, 0},
    {"GetLaunchConfig", Shape::kInt, 0},
    {"GetAutoOpenPgpMail", Shape::kInt, 0},
    {"GetTempDir", Shape::kText, 0},
    {"WipeFile", Shape::kIntStrings, 1},
    {"PgpCheckKey", Shape::kCheckKey, 1},
    {"DoEncrypt", Shape::kIntStrings, 5},
    {"DoDecryptAttachments", Shape::kIntStrings, 2},
    {"IsPgpMail", Shape::kIntStrings, 1},
    {"DoDecryptBody", Shape::kIntStrings, 3},
    {"DoQuoteBody", Shape::kIntStrings, 1},
    {"CreateVeilpostTemplate", Shape::kIntStrings, 3},
    {"ReplaceDatabaseDesign", Shape::kIntStrings, 2},
};

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
  if (static_cast<int>(o.args.size()) != shape->texts) {
    UsageError(o.exportName + " takes " + std::to_string(shape->texts) + " argument(s), " +
               std::to_string(o.args.size()) + " given");
  }
  std::vector<std::vector<char>> texts;
  try {
    for (const std::string& a : o.args) texts.push_back(Writable(ReadArgument(a)));
  } catch (const std::exception& e) {
    UsageError(e.what());
  }

  // The client's main window ("NOTESframe") exists before its script runs: the host's window
  // table holds it from its first use (host_windows.cpp).
  vp::headless::ProcessWindowTable();
  void* lib = LoadHookLibrary();
  if (!o.noInit) {
    auto init = reinterpret_cast<int (*)(const char*, const char*)>(FindExport(lib, "InitOrlavex"));
    if (!init) UsageError("the library has no InitOrlavex");
    init(o.notesVersion.c_str(), o.subformVersion.c_str());
  }
  void* fn = FindExport(lib, shape->name);
  if (!fn) UsageError(std::string("the library does not export ") + shape->name + " yet");

  switch (shape->shape) {
    case Shape::kInt:
      printf("%d\n", reinterpret_cast<int (*)()>(fn)());
      break;
    case Shape::kText:
      printf("%s\n", reinterpret_cast<const char* (*)()>(fn)());
      break;
    case Shape::kCheckKey: {
      int found = 0;
      int rc = reinterpret_cast<int (*)(char*, int*)>(fn)(texts[0].data(), &found);
      printf("%d\nfound %d\n", rc, found);
      break;
    }
    case Shape::kIntStrings: {
      int rc = 0;
      auto t = [&](int i) { return texts[i].data(); };
      switch (shape->texts) {
        case 1:
          rc = reinterpret_cast<int (*)(char*)>(fn)(t(0));
          break;
        case 2:
          rc = reinterpret_cast<int (*)(char*, char*)>(fn)(t(0), t(1));
          break;
        case 3:
          rc = reinterpret_cast<int (*)(char*, char*, char*)>(fn)(t(0), t(1), t(2));
          break;
        case 5:
          rc = reinterpret_cast<int (*)(char*, char*, char*, char*, char*)>(fn)(t(0), t(1), t(2),
                                                                                t(3), t(4));
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
  cmd->add_option("args", o->args, "Arguments (@FILE reads a file, @- standard input)");
  cmd->allow_extras(false);
  cmd->callback([o] { exit(RunCall(*o)); });
}

}  // namespace vphost
