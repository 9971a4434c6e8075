// The secure wipe of a 256 MiB file against "shred -n 2 -u" on the same size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "hooklib/core/temp_files.h"

namespace {

constexpr size_t kSize = 256u * 1024 * 1024;

std::string MakeFile() {
  std::string path = (std::filesystem::temp_directory_path() / "vp-bench" / "wipe.bin").string();
  FILE* f = fopen(path.c_str(), "wb");
  std::string block(1 << 20, 'p');
  for (size_t i = 0; i < kSize / block.size(); ++i) fwrite(block.data(), 1, block.size(), f);
  // On the disk before the wipe starts, as a detached attachment would be: neither side pays
  // for writing the original.
  fflush(f);
  fsync(fileno(f));
  fclose(f);
  return path;
}

void Wipe256_veilpost(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string path = MakeFile();
    state.ResumeTiming();
    if (vp::WipeFile(path.c_str()) != 0) state.SkipWithError("wipe failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Wipe256_baseline(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string path = MakeFile();
    std::string cmd = "shred -n 2 -u '" + path + "'";
    state.ResumeTiming();
    if (system(cmd.c_str()) != 0) state.SkipWithError("shred failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

}  // namespace

BENCHMARK(Wipe256_veilpost)
    ->Name("Wipe256MiB/veilpost")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(Wipe256_baseline)
    ->Name("Wipe256MiB/baseline")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
