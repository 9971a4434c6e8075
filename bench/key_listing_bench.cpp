// Pairing a colon listing of 8192 keys into the key lists: time per key and peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/string_list.h"

namespace {

constexpr int kKeys = 8192;

// A listing shaped as GnuPG 2 prints it: key, fingerprint, two user ids, subkey, its fingerprint.
std::string GeneratedListing() {
  std::string text;
  char line[512];
  for (int i = 0; i < kKeys; ++i) {
    snprintf(line, sizeof line,
             "pub:f:255:22:%016X:1700000000:::u:::scESC::::::ed25519:::0:\r\n"
             "fpr:::::::::%040X:\r\n"
             "uid:f::::1700000000::%040X::Person %05d <person%05d@example.com>::::::::::0:\r\n"
             "uid:f::::1700000000::%040X::Second %05d <second%05d@example.org>::::::::::0:\r\n"
             "sub:f:255:18:%016X:1700000000::::::e:::::cv25519::\r\n"
             "fpr:::::::::%040X:\r\n",
             i + 0x1000, i + 0x2000, i, i, i, i, i, i, i + 0x3000, i + 0x4000);
    text += line;
  }
  return text;
}

void PairListing8192(benchmark::State& state) {
  const std::string listing = GeneratedListing();
  struct rusage before;
  getrusage(RUSAGE_SELF, &before);
  for (auto _ : state) {
    state.PauseTiming();
    std::string work = listing;  // pairing cuts the text in place
    state.ResumeTiming();
    vp::PairKeyListing(work.data(), false);
    if (vp::KeyIdList().count != kKeys) state.SkipWithError("not every key was paired");
    state.PauseTiming();
    vp::FreeKeyLists();
    state.ResumeTiming();
  }
  struct rusage after;
  getrusage(RUSAGE_SELF, &after);
  state.counters["per_key_ns"] =
      benchmark::Counter(static_cast<double>(kKeys) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["listing_KiB"] = static_cast<double>(listing.size()) / 1024.0;
  state.counters["peak_rss_KiB"] = static_cast<double>(after.ru_maxrss);
  state.counters["peak_rss_growth_KiB"] = static_cast<double>(after.ru_maxrss - before.ru_maxrss);
}

}  // namespace

BENCHMARK(PairListing8192)->Unit(benchmark::kMillisecond);
