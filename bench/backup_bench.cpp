// A backup of the whole instrument against the instrument model, on a
// clock the port moves: the time the backup takes on that clock beside
// the time its bytes need on the cable (each request and each answer at
// MIDI's rate; the model answers as soon as a request has arrived). The
// counter "overhead_percent" is how much longer the backup takes than
// that, and above 5 the benchmark reports an error; the timing itself is
// the processor's, per backup.
#include <benchmark/benchmark.h>

#include <chrono>

#include "formats/packet_schedule.h"
#include "memory_port.h"
#include "port/backup.h"

namespace {

class Quiet final : public bank::BackupStatus {
 public:
  void packet_sent(int /*packet*/, int /*count*/) override {}
  void bytes_received(std::uint64_t /*count*/, int /*expected*/) override {}
  void warning(const std::string& /*line*/) override {}
  void step_done() override {}
  void message_done(std::size_t size) override { bytes += size; }
  std::size_t bytes = 0;
};

void BM_BackUpTheWholeInstrument(benchmark::State& st) {
  double overhead = 0;
  for (auto _ : st) {
    bank::Cancel cancel;
    bank::InstrumentModel model{bank::InstrumentSettings{}};
    testing_support::TestClock clock(cancel);
    testing_support::MemoryPort port(model, clock, cancel);
    Quiet status;
    const auto started = clock.now();
    const bank::BackupResult backup = bank::back_up(port, clock, bank::TransferSettings{}, status);
    if (backup.result.outcome != bank::Outcome::done) {
      st.SkipWithError("the backup failed");
      return;
    }
    const auto took = clock.now() - started;
    const std::size_t requests = backup.got.size() * 8;
    const auto wire = bank::wire_time(requests + status.bytes);
    overhead = 100.0 * (std::chrono::duration<double>(took).count() /
                            std::chrono::duration<double>(wire).count() -
                        1.0);
  }
  st.counters["overhead_percent"] = overhead;
  // The schedule keeps a backup within 5% of what the cable needs.
  if (overhead > 5.0) st.SkipWithError("the backup takes more than 5% beyond its wire time");
}
BENCHMARK(BM_BackUpTheWholeInstrument)->Unit(benchmark::kMillisecond);

}  // namespace
