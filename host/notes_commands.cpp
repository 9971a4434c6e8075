// veilpost notes ...: make directory databases, add people and groups, show a database.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/commands.h"
#include "notesemu/data_paths.h"
#include "notesemu/design_tools.h"
#include "notesemu/directory_tools.h"

// The plug-in's LotusScript (notes/veilpost-plugin.lss), built in.
extern const char kPluginScript[];

namespace vphost {
namespace {

[[noreturn]] void Finish(const std::string& error) {
  if (!error.empty()) {
    std::fprintf(stderr, "veilpost notes: %s\n", error.c_str());
    std::exit(1);
  }
  std::exit(0);
}

// Databases are named as Notes names them: a relative file lies in the Notes data folder,
// "SERVER!!FILE" in that server's folder, an absolute path stands as it is.
constexpr const char* kPathHelp =
    "the database: a file in the Notes data folder, SERVER!!FILE, or an absolute path";

struct NotesOptions {
  std::string path;
  std::string name;
  std::string shortName;
  std::string mail;
  std::string firstName;
  std::string lastName;
  std::vector<std::string> members;
};

}  // namespace

void AddNotesCommands(CLI::App& app) {
  static NotesOptions o;
  CLI::App* notes =
      app.add_subcommand("notes", "Make and show Notes databases: directories, templates");
  notes->require_subcommand(1);

  CLI::App* create = notes->add_subcommand("new-directory", "Create an empty directory database");
  create->add_option("PATH", o.path, kPathHelp)->required();
  create->callback(
      [] { Finish(notesemu::CreateDirectoryDatabase(notesemu::FileForNetPath(o.path))); });

  CLI::App* person = notes->add_subcommand("add-person", "Add a Person document");
  person->add_option("PATH", o.path, kPathHelp)->required();
  person->add_option("CANONICAL-NAME", o.name, "e.g. \"CN=Bob Example/O=Acme\"")->required();
  person->add_option("--short", o.shortName, "the short name");
  person->add_option("--mail", o.mail, "the internet address");
  person->add_option("--first", o.firstName, "the first name (found as \"FIRST LAST\")");
  person->add_option("--last", o.lastName, "the last name");
  person->callback([] {
    Finish(notesemu::AddDirectoryEntries(notesemu::FileForNetPath(o.path),
                                         {{o.name, o.shortName, o.mail, o.firstName, o.lastName}},
                                         {}));
  });

  CLI::App* group = notes->add_subcommand(
      "add-group", "Add a Group document (no MEMBER: a document without a Members item)");
  group->add_option("PATH", o.path, kPathHelp)->required();
  group->add_option("NAME", o.name, "the group's name")->required();
  group->add_option("MEMBER", o.members, "member names, as stored in the directory");
  group->callback([] {
    notesemu::GroupEntry entry{o.name, o.members, !o.members.empty()};
    Finish(notesemu::AddDirectoryEntries(notesemu::FileForNetPath(o.path), {}, {entry}));
  });

  CLI::App* mailTemplate = notes->add_subcommand(
      "new-mail-template",
      "Create a standard mail template (\"Mail (R9)\", StdR9Mail) with the forms Memo, Reply "
      "and Reply With History");
  mailTemplate->add_option("PATH", o.path, kPathHelp)->required();
  mailTemplate->callback(
      [] { Finish(notesemu::CreateMailTemplate(notesemu::FileForNetPath(o.path))); });

  CLI::App* subform = notes->add_subcommand(
      "new-subform-db", "Create a database holding the subform \"Veilpost Plugin\" and its script");
  subform->add_option("PATH", o.path, kPathHelp)->required();
  subform->callback([] {
    Finish(notesemu::CreateSubformDatabase(notesemu::FileForNetPath(o.path), kPluginScript));
  });

  CLI::App* show = notes->add_subcommand(
      "show", "Dump a database's info, notes and items (rich text as its records)");
  show->add_option("PATH", o.path, kPathHelp)->required();
  show->callback([] {
    std::string dump;
    std::string error = notesemu::DumpDatabase(notesemu::FileForNetPath(o.path), &dump);
    if (error.empty()) std::fputs(dump.c_str(), stdout);
    Finish(error);
  });
}

}  // namespace vphost
