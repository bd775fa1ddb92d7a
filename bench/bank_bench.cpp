// Throughput of the reader (MB/s), the builder and the lister (banks/s).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "text/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "system/file_source.h"
#include "system/input_stream.h"
#include "lister/list_dump.h"

namespace {

std::string example_text() {
  std::ifstream in(EXAMPLE_TEXT_PATH, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The example built into a message, once.
const bank::BankState& example_state() {
  static const std::unique_ptr<bank::BankState> state = [] {
    auto s = std::make_unique<bank::BankState>();
    const std::string text = example_text();
    bank::InputStream in = bank::memory_input(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    bank::read_bank_text(in, *s);
    bank::build_bulk_dump(*s);
    return s;
  }();
  return *state;
}

// A bank text of about 100 MB on disk: the example repeated. The file is
// removed at exit.
char g_large_path[] = "/tmp/syxbank-bench-XXXXXX";

const char* large_text_file() {
  static const bool made = [] {
    const std::string text = example_text();
    const int fd = ::mkstemp(g_large_path);
    if (fd >= 0) ::close(fd);
    std::atexit([] { std::remove(g_large_path); });
    std::ofstream out(g_large_path, std::ios::binary);
    for (std::size_t written = 0; written < 100'000'000; written += text.size()) out << text;
    return true;
  }();
  return made ? g_large_path : "";
}

// With --benchmark_repetitions, the least time of the repetitions: the run
// least disturbed by whatever else the machine was doing.
double least(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

void BM_ReadBankText_File100MB(benchmark::State& st) {
  auto state = std::make_unique<bank::BankState>();
  std::int64_t bytes = 0;
  for (auto _ : st) {
    std::FILE* file = std::fopen(large_text_file(), "r");
    if (file == nullptr) {
      st.SkipWithError("cannot open the large bank text");
      break;
    }
    bank::InputStream in = bank::file_input(file);
    benchmark::DoNotOptimize(bank::read_bank_text(in, *state));
    std::fseek(file, 0, SEEK_END);
    bytes += std::ftell(file);
    std::fclose(file);
  }
  st.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadBankText_File100MB)
    ->ComputeStatistics("least", least)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One bank from memory; with the argument 1, with warnings asked for (the
// example gives none).
void BM_ReadBankText_OneBank(benchmark::State& st) {
  const std::string text = example_text();
  auto state = std::make_unique<bank::BankState>();
  for (auto _ : st) {
    bank::ReaderWarnings warnings;
    bank::InputStream in = bank::memory_input(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    benchmark::DoNotOptimize(
        bank::read_bank_text(in, *state, st.range(0) != 0 ? &warnings : nullptr));
  }
  st.SetBytesProcessed(st.iterations() * static_cast<std::int64_t>(text.size()));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_ReadBankText_OneBank)->ComputeStatistics("least", least)->Arg(0)->Arg(1);

void BM_BuildBulkDump(benchmark::State& st) {
  auto state = std::make_unique<bank::BankState>(example_state());
  for (auto _ : st) {
    bank::build_bulk_dump(*state);
    benchmark::DoNotOptimize(state->message.data());
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_BuildBulkDump)->ComputeStatistics("least", least);

void BM_ListDump(benchmark::State& st) {
  const auto& message = example_state().message;
  bank::Listing listing;
  for (auto _ : st) {
    listing.text.clear();
    bank::InputStream in = bank::memory_input(message);
    benchmark::DoNotOptimize(bank::list_dump(in, listing));
    benchmark::DoNotOptimize(listing.text.data());
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_ListDump)->ComputeStatistics("least", least);

// 1,000 banks back to back, scanned for every message: banks per second,
// to set beside the plain listing of one bank.
void BM_ListAll_1000Banks(benchmark::State& st) {
  const auto& message = example_state().message;
  std::vector<std::uint8_t> file;
  for (int i = 0; i < 1000; ++i) file.insert(file.end(), message.begin(), message.end());
  bank::Listing listing;
  bank::InputStream warm_up = bank::memory_input(file);  // the listing's string grows once
  bank::list_all(warm_up, listing);
  for (auto _ : st) {
    listing.text.clear();
    bank::InputStream in = bank::memory_input(file);
    benchmark::DoNotOptimize(bank::list_all(in, listing));
    benchmark::DoNotOptimize(listing.text.data());
  }
  st.SetItemsProcessed(st.iterations() * 1000);
}
BENCHMARK(BM_ListAll_1000Banks)->ComputeStatistics("least", least)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
