// Ports on POSIX systems. A port is a file descriptor opened without
// blocking: writes wait for room with poll, reads wait for bytes with poll
// until the deadline, and each wait polls the cancel beside it. A terminal
// (a serial port, a pseudo-terminal) is put in raw mode and drained with
// tcdrain; a raw MIDI device of Linux, named by its path or by hw:C,D,S
// (opened as ALSA's own library opens it), is drained with its own ioctl.
// No library is linked: only the kernel's interface is used.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "backend.h"

#if __has_include(<sound/asound.h>)
#include <sound/asound.h>
#define SYXPORT_HAVE_RAWMIDI 1
#else
#define SYXPORT_HAVE_RAWMIDI 0
#endif

namespace bank {
namespace {

std::string system_words(int error) { return std::strerror(error); }

// What a read of 0 bytes means: a terminal in the mode set here, or any
// other device, gives it only when the device behind it is gone.
constexpr std::string_view kPortEnded = "the port reported its end";

// More than anything pending on a port can hold: 20 s at MIDI's rate.
constexpr std::size_t kLongestDiscard = 64 * 1024;

class DevicePort final : public Port {
 public:
  // `saved`: a terminal's settings before it was put in raw mode.
  DevicePort(int fd, bool raw_midi, std::optional<termios> saved, const Cancel& cancel)
      : fd_(fd), raw_midi_(raw_midi), saved_(saved), cancel_(cancel) {}
  ~DevicePort() override { close(); }

  PortResult send(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return port_failure(system_words(errno));
      if (!wait_for(POLLOUT, 1000)) return port_result(PortState::cancelled);
    }
    return drain();
  }

  PortResult receive(std::span<std::uint8_t> room, Clock::time_point deadline) override {
    for (;;) {
      // Looked at before every read, not only in the waits: a device that
      // never stops sending never makes a read wait.
      if (cancel_.cancelled()) return port_result(PortState::cancelled);
      const ssize_t n = ::read(fd_, room.data(), room.size());
      if (n > 0) return port_result(PortState::ok, static_cast<std::size_t>(n));
      if (n == 0) return port_failure(std::string(kPortEnded));
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return port_failure(system_words(errno));
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return port_result(PortState::deadline);
      if (!wait_for(POLLIN, std::min<std::int64_t>(left.count(), 1000)))
        return port_result(PortState::cancelled);
    }
  }

  PortResult discard_input() override {
    if (saved_) ::tcflush(fd_, TCIFLUSH);
    std::uint8_t bytes[256];
    // What has arrived, not what a device that never stops sending goes on
    // bringing: past this much, the rest is the answer reader's to pass over.
    std::size_t left = kLongestDiscard;
    for (;;) {
      if (cancel_.cancelled()) return port_result(PortState::cancelled);
      const ssize_t n = ::read(fd_, bytes, sizeof bytes);
      if (n > 0) {
        left -= std::min(left, static_cast<std::size_t>(n));
        if (left == 0) return {};
        continue;
      }
      if (n == 0) return port_failure(std::string(kPortEnded));
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
      if (errno != EINTR) return port_failure(system_words(errno));
    }
  }

  PortResult close() override {
    if (fd_ < 0) return {};
    PortResult result;
    if (saved_) {
      // What is still pending is passed over before the settings come
      // back, so that a terminal whose settings echo sends nothing back.
      ::tcflush(fd_, TCIFLUSH);
      if (::tcsetattr(fd_, TCSANOW, &*saved_) != 0) result = port_failure(system_words(errno));
    }
    ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  // Waits until the port is ready for `events`, for `limit_ms` at most;
  // false when cancelled.
  bool wait_for(short events, std::int64_t limit_ms) {
    if (cancel_.cancelled()) return false;
    if (cancel_.wake_fd() < 0) limit_ms = std::min<std::int64_t>(limit_ms, kCancelLookMs);
    pollfd p[2] = {{fd_, events, 0}, {cancel_.wake_fd(), POLLIN, 0}};
    ::poll(p, 2, static_cast<int>(limit_ms));
    return !cancel_.cancelled();
  }

  PortResult drain() {
    if (saved_) {
      while (::tcdrain(fd_) != 0) {
        if (errno != EINTR) return port_failure(system_words(errno));
        if (cancel_.cancelled()) return port_result(PortState::cancelled);
      }
      return {};
    }
#if SYXPORT_HAVE_RAWMIDI
    if (raw_midi_) {
      int stream = SNDRV_RAWMIDI_STREAM_OUTPUT;
      while (::ioctl(fd_, SNDRV_RAWMIDI_IOCTL_DRAIN, &stream) != 0) {
        if (errno != EINTR) return port_failure(system_words(errno));
        if (cancel_.cancelled()) return port_result(PortState::cancelled);
      }
    }
#endif
    return {};
  }

  int fd_;
  bool raw_midi_;
  std::optional<termios> saved_;
  const Cancel& cancel_;
};

// "hw:C,D" or "hw:C,D,S": card, device and subdevice (0 when left out).
struct HwName {
  int card = 0;
  int device = 0;
  int subdevice = 0;
};

std::optional<HwName> parse_hw_name(std::string_view name) {
  if (!name.starts_with("hw:")) return std::nullopt;
  name.remove_prefix(3);
  int numbers[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    const auto* const end = name.data() + name.size();
    const auto [ptr, ec] = std::from_chars(name.data(), end, numbers[count]);
    if (ec != std::errc() || ptr == name.data() || numbers[count] < 0) return std::nullopt;
    ++count;
    name.remove_prefix(static_cast<std::size_t>(ptr - name.data()));
    if (name.empty()) break;
    if (name.front() != ',') return std::nullopt;
    name.remove_prefix(1);
  }
  if (count < 2 || !name.empty()) return std::nullopt;
  return HwName{numbers[0], numbers[1], numbers[2]};
}

PortOpening failed_opening(PortFault fault, int error = 0) {
  PortOpening opening;
  opening.fault = fault;
  if (error != 0) opening.words = system_words(error);
  opening.busy = error == EBUSY;
  return opening;
}

// Whether `fd` is one of Linux's raw MIDI devices, however it was named:
// they answer their protocol version.
bool is_raw_midi(int fd) {
#if SYXPORT_HAVE_RAWMIDI
  int version = 0;
  return ::ioctl(fd, SNDRV_RAWMIDI_IOCTL_PVERSION, &version) == 0;
#else
  static_cast<void>(fd);
  return false;
#endif
}

PortOpening open_device(const char* path, bool with_input, const Cancel& cancel) {
  const int flags = (with_input ? O_RDWR : O_WRONLY) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  const int fd = ::open(path, flags);
  if (fd < 0) return failed_opening(PortFault::cannot_open, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
    ::close(fd);
    return failed_opening(PortFault::not_a_port);
  }
  // A terminal (a serial port, a pseudo-terminal) in raw mode: no echo, no
  // translation, its speed kept; at least one byte a read, so that with
  // the descriptor not blocking a read with nothing there fails with
  // EAGAIN and 0 means the end. A terminal left cooked would change the
  // bytes, so one that refuses raw mode is not used.
  std::optional<termios> saved;
  termios before{};
  if (::tcgetattr(fd, &before) == 0) {
    termios raw = before;
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
      const int error = errno;
      ::close(fd);
      return failed_opening(PortFault::cannot_open, error);
    }
    saved = before;
  }
  PortOpening opening;
  opening.port = std::make_unique<DevicePort>(fd, is_raw_midi(fd), saved, cancel);
  return opening;
}

#if SYXPORT_HAVE_RAWMIDI
std::string control_path(int card) { return "/dev/snd/controlC" + std::to_string(card); }

// As ALSA's library opens a subdevice: the card's control device is asked
// to prefer it for the next open of the card's raw MIDI device.
PortOpening open_hw(const HwName& hw, bool with_input, const Cancel& cancel) {
  const int control = ::open(control_path(hw.card).c_str(), O_RDWR | O_CLOEXEC);
  if (control < 0) return failed_opening(PortFault::cannot_open, errno);
  int subdevice = hw.subdevice;
  if (::ioctl(control, SNDRV_CTL_IOCTL_RAWMIDI_PREFER_SUBDEVICE, &subdevice) != 0) {
    const int error = errno;
    ::close(control);
    return failed_opening(PortFault::cannot_open, error);
  }
  const std::string path =
      "/dev/snd/midiC" + std::to_string(hw.card) + "D" + std::to_string(hw.device);
  PortOpening opening = open_device(path.c_str(), with_input, cancel);
  ::close(control);
  return opening;
}
#endif

}  // namespace

PortOpening open_device_port(std::string_view given, bool with_input, const Cancel& cancel) {
  const std::string name(given);
  if (const std::optional<HwName> hw = parse_hw_name(name)) {
#if SYXPORT_HAVE_RAWMIDI
    return open_hw(*hw, with_input, cancel);
#else
    return failed_opening(PortFault::no_hw_names);
#endif
  }
  // Only a character device is a port: a regular file or a folder is
  // refused before it is opened, so that nothing is written into it.
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return failed_opening(PortFault::cannot_open, errno);
  if (!S_ISCHR(st.st_mode)) return failed_opening(PortFault::not_a_port);
  return open_device(name.c_str(), with_input, cancel);
}

std::vector<PortInfo> list_device_ports() {
  std::vector<PortInfo> ports;
#if SYXPORT_HAVE_RAWMIDI
  for (int card = 0; card < 32; ++card) {
    const int control = ::open(control_path(card).c_str(), O_RDONLY | O_CLOEXEC);
    if (control < 0) continue;
    snd_ctl_card_info card_info{};
    const bool named = ::ioctl(control, SNDRV_CTL_IOCTL_CARD_INFO, &card_info) == 0;
    const std::string card_name =
        named ? reinterpret_cast<const char*>(card_info.name) : "card " + std::to_string(card);
    int device = -1;
    while (::ioctl(control, SNDRV_CTL_IOCTL_RAWMIDI_NEXT_DEVICE, &device) == 0 && device >= 0) {
      // Subdevices of either direction; output first, as a port is sent to.
      for (const int stream : {SNDRV_RAWMIDI_STREAM_OUTPUT, SNDRV_RAWMIDI_STREAM_INPUT}) {
        snd_rawmidi_info info{};
        info.device = static_cast<unsigned>(device);
        info.stream = stream;
        if (::ioctl(control, SNDRV_CTL_IOCTL_RAWMIDI_INFO, &info) != 0) continue;
        const unsigned count = info.subdevices_count;
        for (unsigned sub = 0; sub < count; ++sub) {
          info.subdevice = sub;
          if (::ioctl(control, SNDRV_CTL_IOCTL_RAWMIDI_INFO, &info) != 0) continue;
          const std::string id = "hw:" + std::to_string(card) + "," + std::to_string(device) + "," +
                                 std::to_string(sub);
          bool seen = false;
          for (const PortInfo& p : ports) seen = seen || p.id == id;
          if (seen) continue;
          const auto* sub_name = reinterpret_cast<const char*>(info.subname);
          const auto* dev_name = reinterpret_cast<const char*>(info.name);
          ports.push_back({id, card_name + ": " + (*sub_name != '\0' ? sub_name : dev_name)});
        }
      }
    }
    ::close(control);
  }
#endif
  return ports;
}

}  // namespace bank
