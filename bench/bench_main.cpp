// Benchmark main: runs every benchmark, then prints the ratios of paired benchmarks
// ("name/veilpost" against "name/baseline") in one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
      times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
  }
  void PrintRatios() const {
    bool header = false;
    for (const auto& [name, time] : times_) {
      size_t at = name.find("/veilpost");
      if (at == std::string::npos) continue;
      std::string base = name.substr(0, at) + "/baseline" + name.substr(at + 9);
      auto it = times_.find(base);
      if (it == times_.end() || it->second <= 0) continue;
      if (!header)
        printf("\n%-50s %12s %12s %8s\n", "pair (veilpost / baseline)", "veilpost", "baseline",
               "ratio");
      header = true;
      // Times in the unit each benchmark reports in.
      printf("%-50s %12.3f %12.3f %8.3f\n", name.c_str(), time, it->second, time / it->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  // Benchmarks never touch the user's own settings or shared segment. The folder is fixed here,
  // before any benchmark points TMPDIR into it.
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "vp-bench";
  std::filesystem::create_directories(dir);
  setenv("VP_BENCH_DIR", dir.c_str(), 1);
  setenv("VEILPOST_REGISTRY", (dir / "registry.reg").c_str(), 0);
  setenv("VEILPOST_SEGMENT", "/veilpost-bench", 0);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
