// Ports of the host interfaces RtMidi reaches. A port is a pair of the
// library's clients, one each way. The host takes the bytes handed to it
// at once, long before a cable could carry them; so a send hands them over
// no faster than MIDI's rate, in pieces the host passes on as they are (a
// JACK port's buffer for one cycle, and a bridge to a cable behind it, hold
// no more), and returns once the cable would have carried them: every
// silence of a schedule is counted from there. The answer comes on the
// library's own thread, as messages, a System Exclusive one whole; it is
// queued for receive as plain bytes.
#include <RtMidi.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "device_rtmidi.h"
#include "formats/message_layout.h"
#include "formats/packet_schedule.h"
#include "rtmidi_hosts.h"

namespace bank {
namespace {

RtMidi::Api api_of(const RtMidiHost& host) {
  if (host.prefix == kSequencerHost.prefix) return RtMidi::LINUX_ALSA;
  if (host.prefix == kJackHost.prefix) return RtMidi::UNIX_JACK;
  return RtMidi::MACOSX_CORE;
}

// At most this much is handed over before the cable would have carried it:
// 20 ms of MIDI.
constexpr std::size_t kPaceBytes = 64;
// A host passes the last bytes on within a moment (a JACK cycle); a close
// waits that much past their time on the cable.
constexpr std::chrono::milliseconds kHostMoment{10};
// More than any answer: past this, what arrives is not kept but a fault.
constexpr std::size_t kMostQueued = 256 * 1024;

constexpr std::string_view kWholeOnly =
    "the ALSA sequencer takes only whole messages, and a bank goes in timed parts: use the "
    "device's hw: port";
constexpr std::string_view kOverrun = "more arrived than was read";

// While a client is made, the library prints its warnings to std::cerr (no
// error callback can be set before), and JACK's own library its words on a
// server that is not there to the C stderr: both are kept from the
// terminal; that the library said anything tells that the host is not
// there.
class QuietOutput {
 public:
  QuietOutput() : saved_(std::cerr.rdbuf(words_.rdbuf())) {
    std::fflush(stderr);
    stderr_ = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, 2);
      ::close(null);
    }
  }
  ~QuietOutput() {
    std::cerr.rdbuf(saved_);
    std::fflush(stderr);
    if (stderr_ >= 0) {
      ::dup2(stderr_, 2);
      ::close(stderr_);
    }
  }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;
  std::string words() const { return words_.str(); }

 private:
  std::ostringstream words_;
  std::streambuf* saved_;
  int stderr_ = -1;
};

// Why a host's clients could not be made: the JACK server by its name, as
// JACK's library picks it.
std::string unreachable(const RtMidiHost& host) {
  if (host.prefix == kJackHost.prefix) {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    return "no JACK server \"" + std::string(server != nullptr ? server : "default") +
           "\" is running";
  }
  return "the " + std::string(host.label) + " cannot be reached";
}

template <typename Client>
std::unique_ptr<Client> make_client(const RtMidiHost& host) {
  const QuietOutput quiet;
  std::unique_ptr<Client> client;
  try {
    client = std::make_unique<Client>(api_of(host), "syxport");
  } catch (const RtMidiError&) {
    return nullptr;
  }
  // The library falls back on another host where it lacks this one, and
  // only warns where the host is not there.
  if (client->getCurrentApi() != api_of(host) || !quiet.words().empty()) return nullptr;
  return client;
}

template <typename Client>
std::vector<HostPort> ports_of(const RtMidiHost& host, Client& client) {
  const QuietOutput quiet;
  std::vector<HostPort> ports;
  const unsigned count = client.getPortCount();
  for (unsigned i = 0; i < count; ++i) ports.push_back(host_port_of(host, client.getPortName(i)));
  return ports;
}

class RtMidiPort final : public Port {
 public:
  RtMidiPort(const RtMidiHost& host, std::unique_ptr<RtMidiOut> out, std::unique_ptr<RtMidiIn> in,
             const Cancel& cancel)
      : host_(host), cancel_(cancel), time_(cancel), out_(std::move(out)), in_(std::move(in)) {}
  ~RtMidiPort() override { close(); }

  // Connects to the ports chosen, the input first so that nothing of an
  // answer is missed; the library's words where it failed.
  std::string start(std::size_t output, std::optional<std::size_t> input) {
    const QuietOutput quiet;
    out_->setErrorCallback(&RtMidiPort::on_error, this);
    if (in_ && input) {
      in_->setErrorCallback(&RtMidiPort::on_error, this);
      in_->ignoreTypes(false, true, true);
      in_->setCallback(&RtMidiPort::on_message, this);
      in_->openPort(static_cast<unsigned>(*input), "syxport in");
    }
    out_->openPort(static_cast<unsigned>(output), "syxport out");
    const std::lock_guard lock(mutex_);
    return std::exchange(fault_, {});
  }

  PortResult send(std::span<const std::uint8_t> bytes) override {
    const auto pieces = host_pieces(host_.pieces, bytes, in_message_, kPaceBytes);
    if (!pieces) return port_failure(std::string(kWholeOnly));
    const Clock::time_point start = Clock::now();
    std::size_t handed = 0;
    std::size_t paced = 0;
    for (const std::span<const std::uint8_t> piece : *pieces) {
      if (handed - paced >= kPaceBytes) {
        if (!time_.wait_until(start + wire_time(handed))) return port_result(PortState::cancelled);
        paced = handed;
      }
      out_->sendMessage(piece.data(), piece.size());
      if (std::string words = take_fault(); !words.empty()) return port_failure(std::move(words));
      handed += piece.size();
      for (const std::uint8_t b : piece)
        if (b == kSysExStart || b == kSysExEnd) in_message_ = b == kSysExStart;
      on_wire_until_ = start + wire_time(handed);
    }
    if (!time_.wait_until(on_wire_until_)) return port_result(PortState::cancelled);
    return {};
  }

  PortResult receive(std::span<std::uint8_t> room, Clock::time_point deadline) override {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (cancel_.cancelled()) return port_result(PortState::cancelled);
      if (!arrived_.empty()) {
        const std::size_t n = std::min(room.size(), arrived_.size());
        std::copy_n(arrived_.begin(), n, room.begin());
        arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(n));
        return port_result(PortState::ok, n);
      }
      if (!fault_.empty()) return port_failure(std::exchange(fault_, {}));
      const Clock::time_point now = Clock::now();
      if (now >= deadline) return port_result(PortState::deadline);
      const auto look_again = now + std::chrono::milliseconds(kCancelLookMs);
      arrived_cv_.wait_until(lock, std::min(deadline, look_again));
    }
  }

  PortResult discard_input() override {
    const std::lock_guard lock(mutex_);
    arrived_.clear();
    if (!fault_.empty()) return port_failure(std::exchange(fault_, {}));
    return {};
  }

  PortResult close() override {
    if (closed_) return {};
    closed_ = true;
    // What was handed over last is still on its way to the cable.
    std::this_thread::sleep_until(on_wire_until_ + kHostMoment);
    const QuietOutput quiet;
    if (in_) {
      in_->cancelCallback();
      in_->closePort();
    }
    out_->closePort();
    return {};
  }

 private:
  std::string take_fault() {
    const std::lock_guard lock(mutex_);
    return std::exchange(fault_, {});
  }

  static void on_message(double /*delta*/, std::vector<unsigned char>* message, void* user) {
    auto* self = static_cast<RtMidiPort*>(user);
    {
      const std::lock_guard lock(self->mutex_);
      if (self->arrived_.size() + message->size() > kMostQueued) {
        self->fault_ = kOverrun;
      } else {
        self->arrived_.insert(self->arrived_.end(), message->begin(), message->end());
      }
    }
    self->arrived_cv_.notify_one();
  }

  static void on_error(RtMidiError::Type /*type*/, const std::string& text, void* user) {
    auto* self = static_cast<RtMidiPort*>(user);
    const std::lock_guard lock(self->mutex_);
    if (self->fault_.empty()) self->fault_ = text;
  }

  const RtMidiHost& host_;
  const Cancel& cancel_;
  SystemTimekeeper time_;  // the pacing's waits, which end at the cancel
  bool in_message_ = false;
  bool closed_ = false;
  Clock::time_point on_wire_until_{};
  std::mutex mutex_;
  std::condition_variable arrived_cv_;
  std::deque<std::uint8_t> arrived_;
  std::string fault_;
  // Last, so that they go first: no callback comes once they are gone.
  std::unique_ptr<RtMidiOut> out_;
  std::unique_ptr<RtMidiIn> in_;
};

PortOpening cannot_open(std::string words) {
  PortOpening opening;
  opening.fault = PortFault::cannot_open;
  opening.words = std::move(words);
  return opening;
}

// A client each way, or none where the host is not there.
struct Clients {
  std::unique_ptr<RtMidiOut> out;
  std::unique_ptr<RtMidiIn> in;
};
std::optional<Clients> clients_of(const RtMidiHost& host) {
  Clients clients{make_client<RtMidiOut>(host), nullptr};
  if (clients.out) clients.in = make_client<RtMidiIn>(host);
  if (!clients.in) return std::nullopt;
  return clients;
}

PortOpening open_host_port(const RtMidiHost& host, std::string_view rest, bool with_input,
                           const Cancel& cancel) {
  std::optional<Clients> clients = clients_of(host);
  if (!clients) return cannot_open(unreachable(host));
  std::unique_ptr<RtMidiOut>& out = clients->out;
  std::unique_ptr<RtMidiIn>& in = clients->in;
  const PortChoice choice =
      choose_ports(host, rest, ports_of(host, *out), ports_of(host, *in), with_input);
  PortOpening opening;
  if (choice.fault != PortFault::none) {
    opening.fault = choice.fault;
    opening.words = choice.words;
    return opening;
  }
  if (!with_input) in.reset();
  auto port = std::make_unique<RtMidiPort>(host, std::move(out), std::move(in), cancel);
  if (std::string words = port->start(*choice.output, choice.input); !words.empty())
    return cannot_open(std::move(words));
  opening.port = std::move(port);
  return opening;
}

std::vector<PortInfo> list_host_ports(const RtMidiHost& host) {
  const std::optional<Clients> clients = clients_of(host);
  if (!clients) return {};
  return host_port_lines(host, ports_of(host, *clients->out), ports_of(host, *clients->in));
}

}  // namespace

PortOpening open_sequencer_port(std::string_view rest, bool with_input, const Cancel& cancel) {
  return open_host_port(kSequencerHost, rest, with_input, cancel);
}
std::vector<PortInfo> list_sequencer_ports() { return list_host_ports(kSequencerHost); }
PortOpening open_jack_port(std::string_view rest, bool with_input, const Cancel& cancel) {
  return open_host_port(kJackHost, rest, with_input, cancel);
}
std::vector<PortInfo> list_jack_ports() { return list_host_ports(kJackHost); }
PortOpening open_coremidi_port(std::string_view rest, bool with_input, const Cancel& cancel) {
  return open_host_port(kCoreMidiHost, rest, with_input, cancel);
}
std::vector<PortInfo> list_coremidi_ports() { return list_host_ports(kCoreMidiHost); }

}  // namespace bank
