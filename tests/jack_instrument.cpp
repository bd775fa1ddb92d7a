#include "jack_instrument.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace testing_support {
namespace {

using namespace std::chrono_literals;

// How much of the answer goes in one cycle's event: a piece as the model
// paces it.
constexpr std::size_t kPiece = 64;

jack_client_t* open_client(const std::string& server, const char* name) {
  jack_status_t status{};
  const auto options =
      static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName);
  return jack_client_open(name, options, &status, server.c_str());
}

void quiet(const char* /*words*/) {}

}  // namespace

JackServer::JackServer(std::string name) : name_(std::move(name)) {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {"jackd", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "256"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawnp(&pid_, "jackd", &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) {
    pid_ = -1;
    why_not_ = "jackd cannot be started (apt-get install jackd2): " + std::string(std::strerror(spawned));
    return;
  }
  // Up once a client can join it.
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < until) {
    if (jack_client_t* probe = open_client(name_, "probe")) {
      jack_client_close(probe);
      return;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      why_not_ = "jackd ended at its start";
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
  why_not_ = "jackd took no client within 10 s";
}

JackServer::~JackServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto until = std::chrono::steady_clock::now() + 5s;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
}

JackInstrument::JackInstrument(const std::string& server, const InstrumentSettings& settings)
    : model_(settings) {
  arrived_ = jack_ringbuffer_create(1 << 16);
  answer_ = jack_ringbuffer_create(1 << 16);
  client_ = open_client(server, "fb01");
  if (client_ == nullptr) return;
  in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(client_, &JackInstrument::process, this);
  if (in_ == nullptr || out_ == nullptr || jack_activate(client_) != 0) {
    jack_client_close(client_);
    client_ = nullptr;
    return;
  }
  thread_ = std::thread([this] { run(); });
}

JackInstrument::~JackInstrument() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (client_ != nullptr) jack_client_close(client_);
  jack_ringbuffer_free(arrived_);
  jack_ringbuffer_free(answer_);
}

// Each event as it came, stamped with the cycle's time; the next piece of
// the answer as one event.
int JackInstrument::process(jack_nframes_t frames, void* arg) {
  auto* self = static_cast<JackInstrument*>(arg);
  const std::int64_t now = Clock::now().time_since_epoch().count();
  void* in = jack_port_get_buffer(self->in_, frames);
  const jack_nframes_t count = jack_midi_get_event_count(in);
  for (jack_nframes_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, in, i) != 0) continue;
    const auto size = static_cast<std::uint32_t>(event.size);
    if (jack_ringbuffer_write_space(self->arrived_) < sizeof now + sizeof size + size) continue;
    jack_ringbuffer_write(self->arrived_, reinterpret_cast<const char*>(&now), sizeof now);
    jack_ringbuffer_write(self->arrived_, reinterpret_cast<const char*>(&size), sizeof size);
    jack_ringbuffer_write(self->arrived_, reinterpret_cast<const char*>(event.buffer), size);
  }
  void* out = jack_port_get_buffer(self->out_, frames);
  jack_midi_clear_buffer(out);
  const std::size_t ready = std::min(jack_ringbuffer_read_space(self->answer_), kPiece);
  if (ready > 0) {
    if (jack_midi_data_t* room = jack_midi_event_reserve(out, 0, ready))
      jack_ringbuffer_read(self->answer_, reinterpret_cast<char*>(room), ready);
  }
  return 0;
}

void JackInstrument::run() {
  std::vector<std::uint8_t> bytes;
  while (!stop_) {
    std::vector<std::uint8_t> answer;
    {
      const std::lock_guard lock(mutex_);
      std::int64_t at = 0;
      std::uint32_t size = 0;
      // A record is read once all of it is there: it is written in parts.
      char head[sizeof at + sizeof size];
      while (jack_ringbuffer_peek(arrived_, head, sizeof head) == sizeof head) {
        std::memcpy(&at, head, sizeof at);
        std::memcpy(&size, head + sizeof at, sizeof size);
        if (jack_ringbuffer_read_space(arrived_) < sizeof head + size) break;
        jack_ringbuffer_read_advance(arrived_, sizeof head);
        bytes.resize(size);
        jack_ringbuffer_read(arrived_, reinterpret_cast<char*>(bytes.data()), size);
        model_.take(bytes, Clock::time_point(Clock::duration(at)));
      }
      answer = model_.due(Clock::now());
    }
    std::size_t done = 0;
    while (done < answer.size() && !stop_) {
      done += jack_ringbuffer_write(answer_, reinterpret_cast<const char*>(answer.data() + done),
                                    answer.size() - done);
      if (done < answer.size()) std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(1ms);
  }
}

std::vector<std::uint8_t> JackInstrument::received() {
  return look([](const InstrumentModel& m) { return m.received(); });
}

bool JackInstrument::wait_for(const std::function<bool(const InstrumentModel&)>& holds,
                              std::chrono::milliseconds limit) {
  const Clock::time_point until = Clock::now() + limit;
  while (!look(holds)) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace testing_support
