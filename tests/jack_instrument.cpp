#include "jack_instrument.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <sys/wait.h>

namespace testing_support {

JackInstrument::JackInstrument(const std::string& server, const InstrumentSettings& settings)
    : ModelCarrier(settings) {
  jack_set_error_function([](const char*) {});
  jack_set_info_function([](const char*) {});
  // Synchronous: each cycle waits for every client, so that a client the
  // loaded machine runs late loses nothing; 21 ms cycles. It ends with the
  // test, should the test end without its destructors.
  jackd_ = ::fork();
  if (jackd_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execlp("jackd", "jackd", "-S", "-n", server.c_str(), "-d", "dummy", "-r", "48000", "-p",
             "1024", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Up once it takes the client, within 10 s; gone at once with status 127
  // where there is no jackd.
  const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName |
                                                   JackUseExactName);
  for (int i = 0; jackd_ > 0 && client_ == nullptr && i < 500; ++i) {
    int ended = 0;
    if (::waitpid(jackd_, &ended, WNOHANG) == jackd_) {
      jackd_ = WIFEXITED(ended) && WEXITSTATUS(ended) == 127 ? -1 : 0;  // 0: gone
      break;
    }
    jack_status_t status{};
    client_ = jack_client_open("fb01", options, &status, server.c_str());
    if (client_ == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (client_ == nullptr) return;
  in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(client_, &JackInstrument::process, this);
  jack_activate(client_);
}

JackInstrument::~JackInstrument() {
  if (client_ != nullptr) jack_client_close(client_);
  if (jackd_ <= 0) return;
  ::kill(jackd_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500 && ::waitpid(jackd_, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (::kill(jackd_, SIGKILL) == 0) ::waitpid(jackd_, &status, 0);
}

// The cycle's events into the model, stamped with its time; the answer due
// out in pieces of 64 bytes, as the model paces it.
int JackInstrument::process(jack_nframes_t frames, void* arg) {
  auto* self = static_cast<JackInstrument*>(arg);
  const Clock::time_point now = Clock::now();
  const std::lock_guard lock(self->mutex_);
  void* in = jack_port_get_buffer(self->in_, frames);
  jack_midi_event_t event;
  for (jack_nframes_t i = 0; jack_midi_event_get(&event, in, i) == 0; ++i)
    self->model_.take(std::span(event.buffer, event.size), now);
  const std::vector<std::uint8_t> due = self->model_.due(now);
  self->answer_.insert(self->answer_.end(), due.begin(), due.end());
  void* out = jack_port_get_buffer(self->out_, frames);
  jack_midi_clear_buffer(out);
  while (!self->answer_.empty()) {
    const std::size_t n = std::min<std::size_t>(self->answer_.size(), 64);
    jack_midi_data_t* room = jack_midi_event_reserve(out, 0, n);
    if (room == nullptr) break;
    std::copy_n(self->answer_.begin(), n, room);
    self->answer_.erase(self->answer_.begin(), self->answer_.begin() + static_cast<long>(n));
  }
  return 0;
}

}  // namespace testing_support
