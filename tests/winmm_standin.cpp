// The winmm.dll stand-in: see winmm_standin.h for what it models.
#define _WINMM_
#include "winmm_standin.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/instrument_model.h"

namespace {

using bank::Clock;
using bank::InstrumentModel;
using bank::InstrumentSettings;

constexpr auto kPerByte = std::chrono::microseconds(320);  // MIDI's rate
const wchar_t kDeviceName[] = L"Virtual FB-01";

std::map<std::string, int> read_setup() {
  std::map<std::string, int> setup;
  const char* text = std::getenv("SYXPORT_STANDIN");
  std::string rest = text != nullptr ? text : "";
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string item = rest.substr(0, comma);
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    const std::size_t equals = item.find('=');
    if (equals != std::string::npos)
      setup[item.substr(0, equals)] = std::atoi(item.c_str() + equals + 1);
  }
  return setup;
}

int setting(const std::map<std::string, int>& setup, const char* key, int otherwise) {
  const auto found = setup.find(key);
  return found == setup.end() ? otherwise : found->second;
}

DWORD flags(MIDIHDR* header) { return std::atomic_ref<DWORD>(header->dwFlags).load(); }
void set_flags(MIDIHDR* header, DWORD set, DWORD clear) {
  std::atomic_ref<DWORD> f(header->dwFlags);
  f.store((f.load() | set) & ~clear);
}

struct Callback {
  DWORD_PTR function = 0;
  DWORD_PTR instance = 0;
  DWORD kind = CALLBACK_NULL;
};

// The handles it gives: the addresses of these two.
char g_out_handle;
char g_in_handle;
HMIDIOUT out_handle() { return reinterpret_cast<HMIDIOUT>(&g_out_handle); }
HMIDIIN in_handle() { return reinterpret_cast<HMIDIIN>(&g_in_handle); }

// A callback to make once the lock is let go.
struct Call {
  Callback callback;
  HANDLE handle;
  UINT message;
  DWORD_PTR param;
};

// The one device, its two handles and the instrument at its far end. The
// worker thread carries bytes on the cable's time and calls back.
class Device {
 public:
  Device() : setup_(read_setup()), model_(settings()) {}

  std::map<std::string, int> setup_;
  InstrumentModel model_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool out_open_ = false;
  bool in_open_ = false;
  bool in_started_ = false;
  Callback out_callback_;
  Callback in_callback_;
  std::deque<MIDIHDR*> out_queue_;
  std::deque<Clock::time_point> out_queued_at_;     // when each was handed over
  std::optional<Clock::time_point> sending_until_;  // the front message's last byte
  // A driver that copies (copies=1): the messages it holds, each with when
  // its first byte goes on the cable, and when the cable is free.
  struct Copied {
    Clock::time_point start;
    std::vector<std::uint8_t> bytes;
  };
  std::deque<Copied> cable_;
  Clock::time_point cable_free_{};
  std::deque<MIDIHDR*> in_queue_;
  std::deque<std::uint8_t> arrived_;  // from the instrument, not yet in a buffer
  Clock::time_point opened_{};
  std::vector<std::string> log_;
  std::vector<std::string> misuse_;  // calls the documentation does not allow
  int long_messages_ = 0;
  bool log_written_ = false;
  std::thread worker_;
  bool stop_ = false;

  InstrumentSettings settings() const {
    InstrumentSettings s;
    s.system_number = setting(setup_, "system", 0);
    s.min_block_gap = std::chrono::milliseconds(setting(setup_, "need", 100));
    s.bytes_per_second = setting(setup_, "rate", 3125);
    s.silent = setting(setup_, "silent", 0) != 0;
    if (setup_.count("status") != 0) s.status_code = setting(setup_, "status", 1);
    s.active_sensing = setting(setup_, "sensing", 0) != 0;
    s.damaged_answers = setting(setup_, "damaged", 0);
    s.echo = setting(setup_, "echo", 0) != 0;
    s.dropped_dumps = setting(setup_, "dropped", 0);
    return s;
  }

  bool copies() const { return setting(setup_, "copies", 0) != 0; }

  // A message as it began on the cable, in the log, and to the instrument.
  void put_on_cable(std::span<const std::uint8_t> message, Clock::time_point start) {
    model_.take(message, start, kPerByte);
    std::string line =
        "out " +
        std::to_string(
            std::chrono::duration_cast<std::chrono::microseconds>(start - opened_).count());
    char hex[4];
    for (const std::uint8_t b : message) {
      std::snprintf(hex, sizeof hex, " %02X", b);
      line += hex;
    }
    log_.push_back(line);
  }

  // A copying driver's reset or close: what is on the cable by `now` has
  // gone, the rest of what it holds is dropped.
  void cut_cable(Clock::time_point now) {
    for (const Copied& c : cable_) {
      if (c.start >= now) break;
      const auto sent = static_cast<std::size_t>((now - c.start) / kPerByte);
      put_on_cable(std::span(c.bytes).first(std::min(sent, c.bytes.size())), c.start);
    }
    cable_.clear();
    cable_free_ = std::min(cable_free_, now);  // what it dropped takes no time there
  }

  void start_worker() {
    if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
  }

  static void call(const Callback& callback, HANDLE handle, UINT message, DWORD_PTR param1) {
    if (callback.kind != CALLBACK_FUNCTION || callback.function == 0) return;
    using Function = void(CALLBACK*)(HANDLE, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
    reinterpret_cast<Function>(callback.function)(handle, message, callback.instance, param1, 0);
  }

  void write_log() {
    if (log_written_) return;
    log_written_ = true;
    const char* path = std::getenv("SYXPORT_STANDIN_LOG");
    if (path == nullptr) return;
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr) return;
    for (const std::string& line : log_) std::fprintf(file, "%s\n", line.c_str());
    for (const std::string& line : misuse_) std::fprintf(file, "misuse %s\n", line.c_str());
    std::fprintf(file, "stored %d\n", model_.dumps_stored());
    std::fclose(file);
  }

 private:
  // One step of the cable: the message being sent, then the answer's bytes.
  void run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      const Clock::time_point now = Clock::now();
      std::vector<Call> calls;
      bool interrupt = false;
      // A copying driver: a message leaves the cable whole once its time
      // there has passed; a header is done once it has been copied.
      while (!cable_.empty() &&
             cable_.front().start + kPerByte * static_cast<int>(cable_.front().bytes.size()) <=
                 now) {
        put_on_cable(cable_.front().bytes, cable_.front().start);
        cable_.pop_front();
      }
      // The long message "held" (from 1; 0: every one) is held "hold" ms.
      const int held_one = setting(setup_, "held", 0);
      const auto held = std::chrono::milliseconds(
          held_one == 0 || held_one == long_messages_ + 1 ? setting(setup_, "hold", 0) : 0);
      if (!out_queue_.empty() && copies() && out_queued_at_.front() + held <= now) {
        MIDIHDR* header = out_queue_.front();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(header->lpData);
        // Its time on the cable runs from when it was handed over (or held
        // till), however late this thread woke to copy it.
        Copied copied{std::max(out_queued_at_.front() + held, cable_free_),
                      {bytes, bytes + header->dwBufferLength}};
        cable_free_ = copied.start + kPerByte * static_cast<int>(copied.bytes.size());
        cable_.push_back(std::move(copied));
        out_queue_.pop_front();
        out_queued_at_.pop_front();
        set_flags(header, MHDR_DONE, MHDR_INQUEUE);
        calls.push_back(
            {out_callback_, out_handle(), MOM_DONE, reinterpret_cast<DWORD_PTR>(header)});
        ++long_messages_;
        interrupt = long_messages_ == setting(setup_, "interrupt", -1);
      } else if (!out_queue_.empty() && !copies()) {
        MIDIHDR* header = out_queue_.front();
        if (!sending_until_) {
          const auto* bytes = reinterpret_cast<const std::uint8_t*>(header->lpData);
          put_on_cable(std::span(bytes, header->dwBufferLength), now);
          sending_until_ = now + kPerByte * static_cast<int>(header->dwBufferLength);
        } else if (*sending_until_ <= now) {
          out_queue_.pop_front();
          out_queued_at_.pop_front();
          sending_until_.reset();
          set_flags(header, MHDR_DONE, MHDR_INQUEUE);
          calls.push_back(
              {out_callback_, out_handle(), MOM_DONE, reinterpret_cast<DWORD_PTR>(header)});
          ++long_messages_;
          interrupt = long_messages_ == setting(setup_, "interrupt", -1);
        }
      }
      for (const std::uint8_t byte : model_.due(now)) arrived_.push_back(byte);
      if (in_started_) fill_buffers(calls);
      lock.unlock();
      for (const Call& c : calls) call(c.callback, c.handle, c.message, c.param);
      if (interrupt) std::raise(SIGINT);
      lock.lock();
      // Until the next byte is due on either side, or a call brings work.
      std::optional<Clock::time_point> next = sending_until_;
      if (!out_queue_.empty() && !sending_until_)
        next = copies() ? out_queued_at_.front() + held : Clock::now();
      if (!cable_.empty()) {
        const auto ends =
            cable_.front().start + kPerByte * static_cast<int>(cable_.front().bytes.size());
        if (!next || ends < *next) next = ends;
      }
      if (const auto due = model_.next_due(); due && (!next || *due < *next)) next = due;
      if (in_started_ && !arrived_.empty() && !in_queue_.empty()) next = Clock::now();
      if (next)
        wake_.wait_until(lock, *next);
      else
        wake_.wait_for(lock, std::chrono::milliseconds(50));
    }
  }

  void fill_buffers(std::vector<Call>& calls) {
    while (!arrived_.empty()) {
      const std::uint8_t byte = arrived_.front();
      if (byte >= 0xF8) {
        arrived_.pop_front();
        calls.push_back({in_callback_, in_handle(), MIM_DATA, byte});
        continue;
      }
      if (in_queue_.empty()) {  // no buffer: the byte is lost
        arrived_.pop_front();
        continue;
      }
      MIDIHDR* header = in_queue_.front();
      header->lpData[header->dwBytesRecorded++] = static_cast<char>(byte);
      arrived_.pop_front();
      if (header->dwBytesRecorded == header->dwBufferLength || byte == 0xF7) {
        in_queue_.pop_front();
        set_flags(header, MHDR_DONE, MHDR_INQUEUE);
        calls.push_back(
            {in_callback_, in_handle(), MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header)});
      }
    }
  }
};

Device& device() {
  static Device* the = new Device();  // lives as long as the process
  return *the;
}

UINT device_count() { return static_cast<UINT>(setting(device().setup_, "devices", 1)); }
UINT input_count() { return setting(device().setup_, "input", 1) != 0 ? device_count() : 0; }

const char* error_text(MMRESULT code) {
  switch (code) {
    case MMSYSERR_NOERROR: return "The specified command was carried out.";
    case MMSYSERR_BADDEVICEID: return "The device identifier is out of range.";
    case MMSYSERR_ALLOCATED: return "The specified resource is already allocated.";
    case MMSYSERR_INVALHANDLE: return "The specified device handle is invalid.";
    case MMSYSERR_INVALPARAM: return "An invalid parameter was passed to a system function.";
    case MMSYSERR_INVALFLAG: return "An invalid flag was passed to a system function.";
    case MIDIERR_UNPREPARED: return "The header has not been prepared.";
    case MIDIERR_STILLPLAYING: return "The buffers are still in the queue.";
    default: return nullptr;
  }
}

MMRESULT error_text_into(MMRESULT code, LPWSTR text, UINT size) {
  const char* words = error_text(code);
  if (words == nullptr) return MMSYSERR_BADERRNUM;
  if (text == nullptr || size == 0) return MMSYSERR_INVALPARAM;
  UINT i = 0;
  for (; words[i] != '\0' && i + 1 < size; ++i) text[i] = static_cast<wchar_t>(words[i]);
  text[i] = L'\0';
  return MMSYSERR_NOERROR;
}

MMRESULT open_checks(UINT id, UINT count, DWORD flags, bool already_open) {
  if (id >= count) return MMSYSERR_BADDEVICEID;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) return MMSYSERR_INVALFLAG;
  if (already_open || setting(device().setup_, "in_use", 0) != 0) return MMSYSERR_ALLOCATED;
  return MMSYSERR_NOERROR;
}

// A call the documentation does not allow: its error code, noted in the log.
MMRESULT misuse(const char* function, MMRESULT code) {
  device().misuse_.push_back(std::string(function) + " " + std::to_string(code));
  return code;
}

bool header_ok(LPMIDIHDR header, UINT size) {
  return header != nullptr && size >= sizeof(MIDIHDR) && header->lpData != nullptr;
}

}  // namespace

extern "C" {

UINT WINAPI midiOutGetNumDevs() { return device_count(); }
UINT WINAPI midiInGetNumDevs() { return input_count(); }

MMRESULT WINAPI midiOutGetDevCapsW(UINT_PTR id, LPMIDIOUTCAPSW caps, UINT size) {
  if (id >= device_count()) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || size < sizeof(MIDIOUTCAPSW)) return MMSYSERR_INVALPARAM;
  *caps = MIDIOUTCAPSW{};
  wcscpy(caps->szPname, kDeviceName);
  caps->wTechnology = MOD_MIDIPORT;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInGetDevCapsW(UINT_PTR id, LPMIDIINCAPSW caps, UINT size) {
  if (id >= input_count()) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || size < sizeof(MIDIINCAPSW)) return MMSYSERR_INVALPARAM;
  *caps = MIDIINCAPSW{};
  wcscpy(caps->szPname, kDeviceName);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutGetErrorTextW(MMRESULT code, LPWSTR text, UINT size) {
  return error_text_into(code, text, size);
}
MMRESULT WINAPI midiInGetErrorTextW(MMRESULT code, LPWSTR text, UINT size) {
  return error_text_into(code, text, size);
}

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT id, DWORD_PTR callback, DWORD_PTR instance,
                            DWORD flags) {
  Device& d = device();
  Callback opened;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle == nullptr) return misuse("midiOutOpen", MMSYSERR_INVALPARAM);
    if (const MMRESULT r = open_checks(id, device_count(), flags, d.out_open_); r != 0) return r;
    d.out_open_ = true;
    d.out_callback_ = {callback, instance, flags & CALLBACK_TYPEMASK};
    d.opened_ = Clock::now();
    d.start_worker();
    *handle = out_handle();
    opened = d.out_callback_;
  }
  Device::call(opened, out_handle(), MOM_OPEN, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutPrepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT size) {
  const std::lock_guard lock(device().mutex_);
  if (handle != out_handle() || !device().out_open_)
    return misuse("midiOutPrepareHeader", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiOutPrepareHeader", MMSYSERR_INVALPARAM);
  set_flags(header, MHDR_PREPARED, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutUnprepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT size) {
  const std::lock_guard lock(device().mutex_);
  if (handle != out_handle() || !device().out_open_)
    return misuse("midiOutUnprepareHeader", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiOutUnprepareHeader", MMSYSERR_INVALPARAM);
  if ((flags(header) & MHDR_INQUEUE) != 0)
    return misuse("midiOutUnprepareHeader", MIDIERR_STILLPLAYING);
  set_flags(header, 0, MHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutLongMsg(HMIDIOUT handle, LPMIDIHDR header, UINT size) {
  Device& d = device();
  const std::lock_guard lock(d.mutex_);
  if (handle != out_handle() || !d.out_open_) return misuse("midiOutLongMsg", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiOutLongMsg", MMSYSERR_INVALPARAM);
  if ((flags(header) & MHDR_PREPARED) == 0) return misuse("midiOutLongMsg", MIDIERR_UNPREPARED);
  if ((flags(header) & MHDR_INQUEUE) != 0) return misuse("midiOutLongMsg", MIDIERR_STILLPLAYING);
  set_flags(header, MHDR_INQUEUE, MHDR_DONE);
  d.out_queue_.push_back(header);
  d.out_queued_at_.push_back(Clock::now());
  d.wake_.notify_all();
  return MMSYSERR_NOERROR;
}

// A short message goes on the cable once what is before it has gone.
MMRESULT WINAPI midiOutShortMsg(HMIDIOUT handle, DWORD message) {
  Device& d = device();
  const std::lock_guard lock(d.mutex_);
  if (handle != out_handle() || !d.out_open_) return misuse("midiOutShortMsg", MMSYSERR_INVALHANDLE);
  const auto status = static_cast<std::uint8_t>(message & 0xFFU);
  if (status < 0x80 || status >= 0xF0) return misuse("midiOutShortMsg", MMSYSERR_INVALPARAM);
  const std::size_t size = (status & 0xE0U) == 0xC0U ? 2 : 3;  // Cn and Dn carry one byte
  std::vector<std::uint8_t> bytes{status, static_cast<std::uint8_t>(message >> 8U & 0x7FU),
                                  static_cast<std::uint8_t>(message >> 16U & 0x7FU)};
  bytes.resize(size);
  const Clock::time_point start = std::max(Clock::now(), d.cable_free_);
  d.cable_free_ = start + kPerByte * static_cast<int>(size);
  if (d.copies())
    d.cable_.push_back({start, bytes});
  else
    d.put_on_cable(bytes, start);
  d.wake_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutReset(HMIDIOUT handle) {
  Device& d = device();
  std::deque<MIDIHDR*> returned;
  Callback callback;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle != out_handle() || !d.out_open_) return misuse("midiOutReset", MMSYSERR_INVALHANDLE);
    returned.swap(d.out_queue_);
    d.out_queued_at_.clear();
    d.sending_until_.reset();
    d.cut_cable(Clock::now());
    for (MIDIHDR* header : returned) set_flags(header, MHDR_DONE, MHDR_INQUEUE);
    callback = d.out_callback_;
  }
  for (MIDIHDR* header : returned)
    Device::call(callback, out_handle(), MOM_DONE, reinterpret_cast<DWORD_PTR>(header));
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle) {
  Device& d = device();
  Callback callback;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle != out_handle() || !d.out_open_) return misuse("midiOutClose", MMSYSERR_INVALHANDLE);
    if (!d.out_queue_.empty()) return misuse("midiOutClose", MIDIERR_STILLPLAYING);
    d.cut_cable(Clock::now());
    d.out_open_ = false;
    d.log_.push_back("closed " +
                     std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(
                                        Clock::now() - d.opened_)
                                        .count()));
    d.write_log();
    callback = d.out_callback_;
  }
  Device::call(callback, out_handle(), MOM_CLOSE, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT id, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags) {
  Device& d = device();
  Callback opened;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle == nullptr) return misuse("midiInOpen", MMSYSERR_INVALPARAM);
    if (const MMRESULT r = open_checks(id, input_count(), flags, d.in_open_); r != 0) return r;
    d.in_open_ = true;
    d.in_started_ = false;
    d.in_callback_ = {callback, instance, flags & CALLBACK_TYPEMASK};
    d.start_worker();
    *handle = in_handle();
    opened = d.in_callback_;
  }
  Device::call(opened, in_handle(), MIM_OPEN, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInPrepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  const std::lock_guard lock(device().mutex_);
  if (handle != in_handle() || !device().in_open_)
    return misuse("midiInPrepareHeader", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiInPrepareHeader", MMSYSERR_INVALPARAM);
  set_flags(header, MHDR_PREPARED, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInUnprepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  const std::lock_guard lock(device().mutex_);
  if (handle != in_handle() || !device().in_open_)
    return misuse("midiInUnprepareHeader", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiInUnprepareHeader", MMSYSERR_INVALPARAM);
  if ((flags(header) & MHDR_INQUEUE) != 0)
    return misuse("midiInUnprepareHeader", MIDIERR_STILLPLAYING);
  set_flags(header, 0, MHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  Device& d = device();
  const std::lock_guard lock(d.mutex_);
  if (handle != in_handle() || !d.in_open_) return misuse("midiInAddBuffer", MMSYSERR_INVALHANDLE);
  if (!header_ok(header, size)) return misuse("midiInAddBuffer", MMSYSERR_INVALPARAM);
  if ((flags(header) & MHDR_PREPARED) == 0) return misuse("midiInAddBuffer", MIDIERR_UNPREPARED);
  if ((flags(header) & MHDR_INQUEUE) != 0) return misuse("midiInAddBuffer", MIDIERR_STILLPLAYING);
  set_flags(header, MHDR_INQUEUE, MHDR_DONE);
  header->dwBytesRecorded = 0;
  d.in_queue_.push_back(header);
  d.wake_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStart(HMIDIIN handle) {
  const std::lock_guard lock(device().mutex_);
  if (handle != in_handle() || !device().in_open_)
    return misuse("midiInStart", MMSYSERR_INVALHANDLE);
  device().in_started_ = true;
  device().wake_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStop(HMIDIIN handle) {
  const std::lock_guard lock(device().mutex_);
  if (handle != in_handle() || !device().in_open_)
    return misuse("midiInStop", MMSYSERR_INVALHANDLE);
  device().in_started_ = false;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInReset(HMIDIIN handle) {
  Device& d = device();
  std::deque<MIDIHDR*> returned;
  Callback callback;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle != in_handle() || !d.in_open_) return misuse("midiInReset", MMSYSERR_INVALHANDLE);
    d.in_started_ = false;
    returned.swap(d.in_queue_);
    for (MIDIHDR* header : returned) set_flags(header, MHDR_DONE, MHDR_INQUEUE);
    callback = d.in_callback_;
  }
  for (MIDIHDR* header : returned)
    Device::call(callback, in_handle(), MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header));
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInClose(HMIDIIN handle) {
  Device& d = device();
  Callback callback;
  {
    const std::lock_guard lock(d.mutex_);
    if (handle != in_handle() || !d.in_open_) return misuse("midiInClose", MMSYSERR_INVALHANDLE);
    if (!d.in_queue_.empty()) return misuse("midiInClose", MIDIERR_STILLPLAYING);
    d.in_open_ = false;
    callback = d.in_callback_;
  }
  Device::call(callback, in_handle(), MIM_CLOSE, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI timeBeginPeriod(UINT /*period*/) { return TIMERR_NOERROR; }
MMRESULT WINAPI timeEndPeriod(UINT /*period*/) { return TIMERR_NOERROR; }

}  // extern "C"
