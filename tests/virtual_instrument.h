// The instrument model on a pseudo-terminal, for what only the device code
// and the program as a process show: the program (or the device code) opens
// the terminal's slave side as its port, and a thread carries the bytes of
// the master side to and from the model in real time.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dump_fixtures.h"
#include "instrument/instrument_model.h"

namespace testing_support {

// The model as a thread that carries its bytes in real time holds it: looked
// at under the carrier's lock.
class ModelCarrier {
 public:
  explicit ModelCarrier(const InstrumentSettings& settings) : model_(settings) {}
  ModelCarrier(const ModelCarrier&) = delete;
  ModelCarrier& operator=(const ModelCarrier&) = delete;

  template <typename Look>
  auto look(Look look_at) {
    const std::lock_guard lock(mutex_);
    return look_at(static_cast<const InstrumentModel&>(model_));
  }
  std::vector<InstrumentModel::Arrival> arrivals();
  std::vector<std::uint8_t> received();
  // Waits up to `limit` for `holds` to become true of the model.
  bool wait_for(const std::function<bool(const InstrumentModel&)>& holds,
                std::chrono::milliseconds limit);

 protected:
  ~ModelCarrier() = default;
  InstrumentModel model_;
  std::mutex mutex_;
};

class VirtualInstrument : public ModelCarrier {
 public:
  explicit VirtualInstrument(const InstrumentSettings& settings);
  ~VirtualInstrument();

  // The path of the terminal's slave side: the port to open.
  const std::string& port() const { return port_; }
  // The slave side, held open by the instrument so that the master never
  // sees the port closed; tests read its settings through it.
  int slave_fd() const { return slave_; }

  // Sends `bytes` at once, beside what the model answers.
  void inject(const std::vector<std::uint8_t>& bytes);
  // Closes the master side: the port's far end is gone.
  void hang_up();

 private:
  void run();
  void send(const std::vector<std::uint8_t>& bytes);

  std::string port_;
  int master_ = -1;
  int slave_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace testing_support
