// Resolving one memo addressed to the top group of a directory of 8191 people in nested groups.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "hooklib/core/recipient_table.h"
#include "hooklib/outgoing/recipients.h"
#include "notesemu/directory_tools.h"
#include "notesemu/sqlite_db.h"
#include "platform/ui.h"

namespace {

constexpr int kPeople = 8191;
constexpr int kDivisions = 20;  // the top group lists 20 divisions of 20 teams each
constexpr int kTeams = 20;

// Counts message boxes; a resolution that shows one has failed.
class CountingUi : public vp::UserInterface {
 public:
  int messages = 0;
  int MessageBox(vp::WindowHandle, const std::string& text, const std::string&, unsigned) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    ++messages;
    return vp::kIdOk;
  }
  intptr_t DialogBox(const vp::DialogTemplate&, vp::WindowHandle, vp::DialogProc, void*) override {
    return vp::kIdCancel;
  }
  vp::WindowHandle FindWindowByClass(const char*) override { return nullptr; }
  void EnableWindow(vp::WindowHandle, bool) override {}
  bool IsWindowEnabled(vp::WindowHandle) override { return true; }
  bool GetWindowRect(vp::WindowHandle, vp::Rect*) override { return false; }
  void MoveWindow(vp::WindowHandle, int, int, int, int, bool) override {}
  void ScreenSize(int* w, int* h) override { *w = *h = 0; }
  void BringToFront(vp::WindowHandle, int) override {}
  bool SetClipboardText(vp::WindowHandle, const std::string&) override { return false; }
};

// The data folder with names.nsf: "All Staff" > "Division NN" > "Team NN-NN" > people.
std::string MakeDirectory() {
  auto dir = std::filesystem::temp_directory_path() /
             ("vp-resolve-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  std::vector<notesemu::PersonEntry> people;
  std::vector<notesemu::GroupEntry> groups;
  notesemu::GroupEntry top{"All Staff", {}, true};
  int person = 0;
  for (int d = 0; d < kDivisions; ++d) {
    char division[32];
    std::snprintf(division, sizeof division, "Division %02d", d);
    top.members.push_back(division);
    notesemu::GroupEntry div{division, {}, true};
    for (int t = 0; t < kTeams; ++t) {
      char team[32];
      std::snprintf(team, sizeof team, "Team %02d-%02d", d, t);
      div.members.push_back(team);
      notesemu::GroupEntry members{team, {}, true};
      int index = d * kTeams + t;
      int size = kPeople / (kDivisions * kTeams) + (index < kPeople % (kDivisions * kTeams));
      for (int i = 0; i < size; ++i, ++person) {
        char name[64], shortName[16];
        std::snprintf(name, sizeof name, "CN=Person %04d/OU=Team%02d/O=Bench", person, t);
        std::snprintf(shortName, sizeof shortName, "p%04d", person);
        people.push_back({name, shortName, std::string(shortName) + "@bench.example"});
        members.members.push_back(name);
      }
      groups.push_back(members);
    }
    groups.push_back(div);
  }
  groups.push_back(top);
  std::string path = (dir / "names.nsf").string();
  std::string error = notesemu::CreateDirectoryDatabase(path);
  if (error.empty()) error = notesemu::AddDirectoryEntries(path, people, groups);
  if (!error.empty()) std::fprintf(stderr, "directory: %s\n", error.c_str());
  return dir.string();
}

void BM_ResolveTopGroup(benchmark::State& state) {
  std::string dir = MakeDirectory();
  setenv("VEILPOST_NOTES_DATA", dir.c_str(), 1);
  auto owned = std::make_unique<CountingUi>();
  CountingUi* ui = owned.get();
  vp::SetUi(std::move(owned));
  uint64_t queries = 0;
  int recipients = 0;
  for (auto _ : state) {
    vp::FreeRecipientTable();
    uint64_t before = notesemu::QueryCount();
    int result = vp::ResolveRecipients("", "All Staff");
    queries = notesemu::QueryCount() - before;
    recipients = vp::Recipients().count;
    if (result != 0 || recipients != kPeople || ui->messages) {
      state.SkipWithError("the resolution did not yield every person");
      break;
    }
  }
  state.counters["store_queries"] = static_cast<double>(queries);
  state.counters["recipients"] = recipients;
  vp::FreeRecipientTable();
  vp::SetUi(nullptr);
  unsetenv("VEILPOST_NOTES_DATA");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ResolveTopGroup)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
