// A real JACK server, jackd with its dummy backend under a name of its own
// and ended by its process id, with the instrument model as its client
// "fb01": MIDI ports fb01:in and fb01:out, carried each JACK cycle.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <deque>

#include "virtual_instrument.h"

namespace testing_support {

class JackInstrument : public ModelCarrier {
 public:
  JackInstrument(const std::string& server, const InstrumentSettings& settings);
  ~JackInstrument();
  bool started() const { return jackd_ >= 0; }  // false: no jackd here
  bool ready() const { return client_ != nullptr; }

 private:
  static int process(jack_nframes_t frames, void* self);
  pid_t jackd_ = -1;
  jack_client_t* client_ = nullptr;
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::deque<std::uint8_t> answer_;
};

}  // namespace testing_support
