// Ports on Windows: a device of the system's multimedia MIDI interface
// (winmm), named by its number or its name as 'syxport ports' lists them.
// Each packet goes out as one long message and is waited for until the
// system marks it done. The input is opened with prepared buffers and
// started at once, so that nothing of an answer is missed; the system hands
// back each buffer it filled to a callback on its own thread, which queues
// the bytes for receive, and receive gives the buffers back to the system.
// Short messages (active sensing, clock) are passed over, as real-time bytes
// are inside a message anywhere else.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "backend.h"
#include "system/file_services.h"

namespace bank {
namespace {

// Buffers for the input: together more than a whole answer, each small
// enough to be handed back well within any timeout at MIDI's rate.
constexpr std::size_t kInputBuffers = 32;
constexpr std::size_t kInputBufferSize = 512;
// A long message the system reports broken is damage: a status byte that no
// message carries is put in its place, which ends the message being read.
constexpr std::uint8_t kBrokenMessage = 0xF4;
// However slow a driver, a packet not done after this has failed.
constexpr DWORD kLongestPacketMs = 10000;
// A reset gives every buffer back at once; one not back after this never
// will be. Nor does a close wait longer for the wire.
constexpr std::chrono::seconds kLongestReturn{2};
// A driver that copies puts the bytes on the cable a moment after it took
// them; a close waits that much past their time there.
constexpr std::chrono::milliseconds kDriverLag{10};

std::string output_words(MMRESULT result) {
  std::array<wchar_t, MAXERRORLENGTH> text{};
  if (::midiOutGetErrorTextW(result, text.data(), static_cast<UINT>(text.size())) != 0)
    return "MIDI error " + std::to_string(result);
  return narrow(text.data());
}

std::string input_words(MMRESULT result) {
  std::array<wchar_t, MAXERRORLENGTH> text{};
  if (::midiInGetErrorTextW(result, text.data(), static_cast<UINT>(text.size())) != 0)
    return "MIDI error " + std::to_string(result);
  return narrow(text.data());
}

DWORD flags_of(MIDIHDR& header) { return std::atomic_ref<DWORD>(header.dwFlags).load(); }

// A device as the system lists it: one name, an input and an output
// (either may be missing), matched by their names.
struct Device {
  std::wstring name;
  std::optional<UINT> input;
  std::optional<UINT> output;
};

std::vector<Device> devices() {
  std::vector<Device> list;
  const UINT outputs = ::midiOutGetNumDevs();
  for (UINT id = 0; id < outputs; ++id) {
    MIDIOUTCAPSW caps{};
    if (::midiOutGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
      list.push_back({caps.szPname, std::nullopt, id});
  }
  const UINT inputs = ::midiInGetNumDevs();
  for (UINT id = 0; id < inputs; ++id) {
    MIDIINCAPSW caps{};
    if (::midiInGetDevCapsW(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    const auto same = std::find_if(list.begin(), list.end(), [&caps](const Device& d) {
      return !d.input && d.name == caps.szPname;
    });
    if (same != list.end())
      same->input = id;
    else
      list.push_back({caps.szPname, id, std::nullopt});
  }
  return list;
}

class DevicePort final : public Port {
 public:
  explicit DevicePort(const Cancel& cancel)
      : cancel_(cancel),
        done_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
        data_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~DevicePort() override {
    close();
    ::CloseHandle(done_);
    ::CloseHandle(data_);
  }

  // Opens the output, and the input when given, started with its buffers.
  PortOpening open(UINT output, std::optional<UINT> input) {
    PortOpening opening;
    MMRESULT result = ::midiOutOpen(&out_, output, reinterpret_cast<DWORD_PTR>(&on_output),
                                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
      out_ = nullptr;
      opening.fault = PortFault::cannot_open;
      opening.words = output_words(result);
      return opening;
    }
    ::timeBeginPeriod(1);  // waits to the millisecond, for the schedule
    if (input) {
      result = ::midiInOpen(&in_, *input, reinterpret_cast<DWORD_PTR>(&on_input),
                            reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
      if (result != MMSYSERR_NOERROR) in_ = nullptr;  // nothing to close
      if (result == MMSYSERR_NOERROR) result = start_input();
      if (result != MMSYSERR_NOERROR) {
        opening.fault = PortFault::cannot_open;
        opening.words = input_words(result);
        return opening;
      }
    }
    return opening;
  }

  PortResult send(std::span<const std::uint8_t> bytes) override {
    // A channel message (a note on or off) goes as a short message: a long
    // one is for System Exclusive data.
    if (bytes.size() >= 2 && bytes.size() <= 3 && bytes[0] >= 0x80 && bytes[0] < 0xF0) {
      DWORD packed = bytes[0] | static_cast<DWORD>(bytes[1]) << 8U;
      if (bytes.size() == 3) packed |= static_cast<DWORD>(bytes[2]) << 16U;
      const Clock::time_point handed = Clock::now();
      const MMRESULT result = ::midiOutShortMsg(out_, packed);
      if (result != MMSYSERR_NOERROR) return port_failure(output_words(result));
      wire_until_ = std::max(wire_until_, handed) + std::chrono::microseconds(320 * bytes.size());
      return {};
    }
    // Bytes asked for after a cancel (the F7 that closes a message cut
    // short) still go, waited for without it.
    const bool cancellable = !cancel_.cancelled();
    // The header and its data live on the heap: a driver that never gives
    // a header back after a reset keeps them, and they are left to it.
    auto packet = std::make_unique<Packet>();
    packet->data.assign(bytes.begin(), bytes.end());
    MIDIHDR& header = packet->header;
    header.lpData = packet->data.data();
    header.dwBufferLength = static_cast<DWORD>(packet->data.size());
    header.dwBytesRecorded = header.dwBufferLength;
    MMRESULT result = ::midiOutPrepareHeader(out_, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) return port_failure(output_words(result));
    const Clock::time_point handed = Clock::now();
    result = ::midiOutLongMsg(out_, &header, sizeof header);
    PortResult sent;
    if (result != MMSYSERR_NOERROR) {
      sent = port_failure(output_words(result));
    } else {
      const HANDLE waits[2] = {done_, cancel_.wake_event()};
      while ((flags_of(header) & MHDR_DONE) == 0) {
        const DWORD woke =
            ::WaitForMultipleObjects(cancellable ? 2 : 1, waits, FALSE, kLongestPacketMs);
        if (woke == WAIT_OBJECT_0) continue;
        // Cancelled, or never done: the reset asks the system for the
        // buffer back, waited for a while at most.
        sent = woke == WAIT_OBJECT_0 + 1 ? port_result(PortState::cancelled)
                                         : port_failure("the port did not send its data");
        ::midiOutReset(out_);
        const Clock::time_point given_up = Clock::now() + kLongestReturn;
        while ((flags_of(header) & MHDR_DONE) == 0 && Clock::now() < given_up)
          ::WaitForSingleObject(done_, 10);
        if ((flags_of(header) & MHDR_DONE) == 0) {
          static_cast<void>(packet.release());  // the driver still holds it
          return sent;
        }
        break;
      }
    }
    // A driver may mark a buffer done once it has copied it: the bytes are
    // on the cable, one message after the other, until their time there
    // has passed.
    if (sent.state == PortState::ok)
      wire_until_ = std::max(wire_until_, handed) + std::chrono::microseconds(320 * bytes.size());
    result = ::midiOutUnprepareHeader(out_, &header, sizeof header);
    if (result != MMSYSERR_NOERROR && sent.state == PortState::ok)
      sent = port_failure(output_words(result));
    return sent;
  }

  PortResult receive(std::span<std::uint8_t> room, Clock::time_point deadline) override {
    for (;;) {
      if (const std::size_t n = take_input(room); n > 0) return port_result(PortState::ok, n);
      if (const MMRESULT failed = give_back_buffers(); failed != MMSYSERR_NOERROR)
        return port_failure(input_words(failed));
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return port_result(PortState::deadline);
      const HANDLE waits[2] = {data_, cancel_.wake_event()};
      const DWORD woke = ::WaitForMultipleObjects(
          2, waits, FALSE, static_cast<DWORD>(std::min<std::int64_t>(left.count(), 1000)));
      if (woke == WAIT_OBJECT_0 + 1) return port_result(PortState::cancelled);
    }
  }

  PortResult discard_input() override {
    {
      const std::lock_guard lock(mutex_);
      pending_.clear();
    }
    const MMRESULT failed = give_back_buffers();
    return failed == MMSYSERR_NOERROR ? PortResult{} : port_failure(input_words(failed));
  }

  PortResult close() override {
    PortResult closed;
    const auto note = [&closed](MMRESULT result, std::string (*words)(MMRESULT)) {
      if (result != MMSYSERR_NOERROR && closed.state == PortState::ok)
        closed = port_failure(words(result));
    };
    if (in_ != nullptr) {
      {
        const std::lock_guard lock(mutex_);
        closing_ = true;
      }
      // Every buffer comes back marked done before it is unprepared.
      note(::midiInReset(in_), input_words);
      for (MIDIHDR& header : in_headers_)
        if ((flags_of(header) & MHDR_PREPARED) != 0)
          note(::midiInUnprepareHeader(in_, &header, sizeof header), input_words);
      note(::midiInClose(in_), input_words);
      in_ = nullptr;
    }
    if (out_ != nullptr) {
      // Not reset: what was sent goes out whole, the F7 of a message cut
      // short included, before the device is closed.
      const Clock::time_point until =
          std::min(wire_until_ + kDriverLag, Clock::now() + kLongestReturn);
      while (Clock::now() < until) ::Sleep(1);
      note(::midiOutClose(out_), output_words);
      out_ = nullptr;
      ::timeEndPeriod(1);
    }
    return closed;
  }

 private:
  MMRESULT start_input() {
    for (std::size_t i = 0; i < kInputBuffers; ++i) {
      MIDIHDR& header = in_headers_[i];
      header.lpData = reinterpret_cast<LPSTR>(in_data_[i].data());
      header.dwBufferLength = static_cast<DWORD>(kInputBufferSize);
      if (const MMRESULT r = ::midiInPrepareHeader(in_, &header, sizeof header); r != 0) return r;
      if (const MMRESULT r = ::midiInAddBuffer(in_, &header, sizeof header); r != 0) return r;
    }
    return ::midiInStart(in_);
  }

  // The bytes that have arrived, up to room.size().
  std::size_t take_input(std::span<std::uint8_t> room) {
    const std::lock_guard lock(mutex_);
    const std::size_t n = std::min(room.size(), pending_.size());
    std::copy_n(pending_.begin(), n, room.begin());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  // The buffers the system filled go back to it, outside the lock: the
  // system may call back from inside midiInAddBuffer. Every one is given
  // back; the first failure is told.
  MMRESULT give_back_buffers() {
    std::vector<MIDIHDR*> returned;
    {
      const std::lock_guard lock(mutex_);
      returned.swap(returned_);
    }
    MMRESULT failed = MMSYSERR_NOERROR;
    for (MIDIHDR* header : returned)
      if (const MMRESULT r = ::midiInAddBuffer(in_, header, sizeof *header);
          r != MMSYSERR_NOERROR && failed == MMSYSERR_NOERROR)
        failed = r;
    return failed;
  }

  struct Packet {
    MIDIHDR header{};
    std::vector<char> data;
  };

  static void CALLBACK on_output(HMIDIOUT /*out*/, UINT message, DWORD_PTR instance,
                                 DWORD_PTR /*param1*/, DWORD_PTR /*param2*/) {
    if (message == MOM_DONE) ::SetEvent(reinterpret_cast<DevicePort*>(instance)->done_);
  }

  static void CALLBACK on_input(HMIDIIN /*in*/, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR /*param2*/) {
    if (message != MIM_LONGDATA && message != MIM_LONGERROR) return;
    auto* self = reinterpret_cast<DevicePort*>(instance);
    auto* header = reinterpret_cast<MIDIHDR*>(param1);
    {
      const std::lock_guard lock(self->mutex_);
      if (self->closing_) return;
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(header->lpData);
      self->pending_.insert(self->pending_.end(), bytes, bytes + header->dwBytesRecorded);
      if (message == MIM_LONGERROR) self->pending_.push_back(kBrokenMessage);
      self->returned_.push_back(header);
    }
    ::SetEvent(self->data_);
  }

  const Cancel& cancel_;
  HANDLE done_;
  HANDLE data_;
  HMIDIOUT out_ = nullptr;
  HMIDIIN in_ = nullptr;
  std::array<MIDIHDR, kInputBuffers> in_headers_{};
  std::array<std::array<std::uint8_t, kInputBufferSize>, kInputBuffers> in_data_{};
  std::mutex mutex_;  // guards what the input callback touches
  std::deque<std::uint8_t> pending_;
  std::vector<MIDIHDR*> returned_;
  bool closing_ = false;
  Clock::time_point wire_until_{};  // when the bytes sent have left the cable
};

// "0 Virtual FB-01, 1 USB MIDI": the ports, for an error.
std::string names_of(const std::vector<Device>& list) {
  std::string text;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(i) + " " + narrow(list[i].name.c_str());
  }
  return text;
}

}  // namespace

PortOpening open_device_port(std::string_view given, bool with_input, const Cancel& cancel) {
  const std::string name(given);
  const std::vector<Device> list = devices();
  const Device* found = nullptr;
  const bool number =
      !name.empty() && name.size() < 4 &&
      std::all_of(name.begin(), name.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  if (number && static_cast<std::size_t>(std::stoi(name)) < list.size())
    found = &list[static_cast<std::size_t>(std::stoi(name))];
  const std::wstring wanted = wide(name.c_str());
  for (const Device& device : list)
    if (found == nullptr && !wanted.empty() &&
        ::CompareStringOrdinal(device.name.c_str(), -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL)
      found = &device;
  PortOpening opening;
  if (found == nullptr) {
    opening.fault = PortFault::no_such_port;
    opening.words = names_of(list);
    return opening;
  }
  if (!found->output || (with_input && !found->input)) {
    opening.fault = PortFault::one_way;
    opening.words = found->output ? "input" : "output";
    return opening;
  }
  auto port = std::make_unique<DevicePort>(cancel);
  opening = port->open(*found->output, with_input ? found->input : std::nullopt);
  if (opening.fault == PortFault::none) opening.port = std::move(port);
  return opening;
}

std::vector<PortInfo> list_device_ports() {
  std::vector<PortInfo> ports;
  const std::vector<Device> list = devices();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Device& d = list[i];
    const char* directions = d.input && d.output ? "input and output"
                             : d.input           ? "input only"
                                                 : "output only";
    ports.push_back({std::to_string(i), narrow(d.name.c_str()) + " (" + directions + ")"});
  }
  return ports;
}

}  // namespace bank
