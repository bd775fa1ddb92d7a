// From a save of the bank text to the last byte of the changed voice on
// the wire, against the instrument model: the watch's looks and its wait
// for the file to settle on a clock the port moves, the save falling just
// after a look (the longest it waits), the voice at MIDI's rate, and the
// processor's time for reading the text again added. The counter
// "save_to_wire_ms" is the sum; above 150 the benchmark reports an error.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "memory_port.h"
#include "port/audition.h"
#include "port/file_watch.h"

namespace {

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The watch's clock: the save is made in its first wait, and the watch
// ends once the instrument has the new voice.
class SaveClock final : public bank::Timekeeper {
 public:
  SaveClock(testing_support::TestClock& clock, const bank::InstrumentModel& model,
            std::string path, std::string saved)
      : clock_(clock), model_(model), path_(std::move(path)), saved_(std::move(saved)) {}
  bank::Clock::time_point now() override { return clock_.now(); }
  bool wait_until(bank::Clock::time_point deadline) override {
    if (!saved_at_) {
      saved_at_ = clock_.now();
      std::ofstream(path_, std::ios::binary) << saved_;
    } else if (model_.buffer(0)) {
      done_at_ = clock_.now();
      return false;
    }
    return clock_.wait_until(deadline);
  }
  bank::Clock::duration took() const { return *done_at_ - *saved_at_; }

 private:
  testing_support::TestClock& clock_;
  const bank::InstrumentModel& model_;
  std::string path_;
  std::string saved_;
  std::optional<bank::Clock::time_point> saved_at_;
  std::optional<bank::Clock::time_point> done_at_;
};

class Quiet final : public bank::AuditionReport {
 public:
  void sent(const std::string& /*line*/) override {}
  void said(const std::string& /*text*/) override {}
};

void BM_SaveToTheWire(benchmark::State& st) {
  const std::string path = (std::filesystem::temp_directory_path() / "audition-bench.txt").string();
  const std::string first = read_text(EXAMPLE_TEXT_PATH);
  std::string edited = first;
  edited.replace(edited.find("@01: GrandPn"), 12, "@01: Grand2 ");
  double total_ms = 0;
  for (auto _ : st) {
    st.PauseTiming();
    std::ofstream(path, std::ios::binary) << first;
    const bank::AuditionFile start = bank::read_audition_file(path.c_str());
    bank::Cancel cancel;
    bank::InstrumentModel model{bank::InstrumentSettings{.bytes_per_second = 0}};
    testing_support::TestClock clock(cancel);
    testing_support::MemoryPort port(model, clock, cancel);
    SaveClock time(clock, model, path, edited);
    bank::PollingWatch watch(path, time, bank::file_state(path));
    Quiet report;
    bool sounding = false;
    st.ResumeTiming();
    const auto cpu_start = std::chrono::steady_clock::now();
    bank::keep_auditioning(port, time, watch, path.c_str(), std::nullopt, start,
                           bank::AuditionSettings{}, 0, report, sounding);
    const auto cpu = std::chrono::steady_clock::now() - cpu_start;
    total_ms = std::chrono::duration<double, std::milli>(time.took() + cpu).count();
  }
  std::filesystem::remove(path);
  st.counters["save_to_wire_ms"] = total_ms;
  if (total_ms > 150.0) st.SkipWithError("a save takes more than 150 ms to reach the wire");
}
BENCHMARK(BM_SaveToTheWire)->Unit(benchmark::kMillisecond);

}  // namespace
