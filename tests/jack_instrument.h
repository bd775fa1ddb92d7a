// A real JACK server and the instrument model as a client of it, for
// syxport's JACK ports: jackd with its dummy backend, under a server name
// of its own, and a client "fb01" with a MIDI input "fb01:in" and output
// "fb01:out" that carry the model's bytes in real time.
#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <sys/types.h>

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

// jackd started under `name`, ended by its process id when this ends.
class JackServer {
 public:
  explicit JackServer(std::string name);
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  // Whether it came up and takes clients; why not, where it did not.
  bool running() const { return why_not_.empty(); }
  const std::string& why_not() const { return why_not_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  pid_t pid_ = -1;
  std::string why_not_;
};

class JackInstrument {
 public:
  JackInstrument(const std::string& server, const InstrumentSettings& settings);
  ~JackInstrument();
  JackInstrument(const JackInstrument&) = delete;
  JackInstrument& operator=(const JackInstrument&) = delete;

  bool ready() const { return client_ != nullptr; }

  template <typename Look>
  auto look(Look look_at) {
    const std::lock_guard lock(mutex_);
    return look_at(static_cast<const InstrumentModel&>(model_));
  }
  std::vector<std::uint8_t> received();
  bool wait_for(const std::function<bool(const InstrumentModel&)>& holds,
                std::chrono::milliseconds limit);

 private:
  static int process(jack_nframes_t frames, void* self);
  void run();

  InstrumentModel model_;
  jack_client_t* client_ = nullptr;
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  // From the JACK thread: records of an arrival time, a length and bytes;
  // to it, the model's answer as plain bytes.
  jack_ringbuffer_t* arrived_ = nullptr;
  jack_ringbuffer_t* answer_ = nullptr;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::thread thread_;
};

}  // namespace testing_support
