// Hearing a voice: it goes into one of the instrument's 8 instrument
// buffers as a single voice, which the instrument plays at once and stores
// nowhere. The instrument's current configuration tells on which MIDI
// channel that instrument listens and how many notes it may play; a test
// note may follow each send. With a watch, the file is sent again after
// each save that changes the voice.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "formats/bank_data.h"
#include "port.h"
#include "transfer.h"

namespace bank {

struct AuditionSettings {
  int system_number = 0;
  int instrument = 0;          // 0-7
  std::optional<int> note;     // --note: the test note, 0-127
  std::optional<int> channel;  // --channel: 0-15
  std::chrono::milliseconds timeout{5000};
};

// Where the instrument listens, as its current configuration says.
struct InstrumentPlace {
  bool known = false;  // the configuration came
  int channel = 0;     // 0-15
  int notes = 0;       // 0-8
};

// Asks for the current configuration once and reads instrument
// `settings.instrument`'s channel and notes from it; not known when it did
// not come (an output-only port, a silent instrument), with why in `result`.
InstrumentPlace find_instrument(Port& port, Timekeeper& time, const AuditionSettings& settings,
                                TransferStatus& status, TransferResult& result);

// A test note's velocity, and how long it sounds.
inline constexpr int kTestVelocity = 100;
inline constexpr std::chrono::milliseconds kTestNoteLength{500};

// Sends `voice` into the instrument's buffer.
PortResult send_voice(Port& port, const VoiceData& voice, const AuditionSettings& settings);

// Plays the test note, when one is asked for and `channel` (0-15) is
// known. `sounding` is set while the note is on, so that an interrupt can
// release it; an interrupt in the note releases it and ends the wait.
PortResult play_test_note(Port& port, Timekeeper& time, const AuditionSettings& settings,
                          std::optional<int> channel, bool& sounding);

// Releases a sounding test note.
PortResult release_note(Port& port, const AuditionSettings& settings, int channel);

// The voices (1-48) that differ between two banks.
std::vector<int> changed_voices(const BankData& before, const BankData& after);

// What changed in a voice, value by value as a reader of its text says it
// ("OP2 TL 40 -> 57", "name \"Brass1\" -> \"Brass2\""), joined by ", ": the
// first `most`, then "and N more".
std::string voice_changes(const VoiceData& before, const VoiceData& after, std::size_t most = 3);

// What an audition sends from: a bank's 48 voices (a bank text, a bank
// dump, a MIDI file), or one voice (a single-voice dump) as voice 1.
struct AuditionFile {
  bool ok = false;
  std::string said;  // warnings, or the error, as text2syx or syx2text says them
  BankData bank;
  bool single = false;
};
AuditionFile read_audition_file(const char* path);

// The line that says voice `number` was sent; `changes` (after the first
// send) what changed in it, `others` the other voices a save changed.
std::string sent_line(int number, const VoiceData& voice, const AuditionSettings& settings,
                      std::optional<int> channel, const std::string& changes = "",
                      const std::vector<int>& others = {});

// Where a watch reports: each send's line, and what a save that does not
// read says.
class AuditionReport {
 public:
  AuditionReport() = default;
  AuditionReport(const AuditionReport&) = delete;
  AuditionReport& operator=(const AuditionReport&) = delete;
  virtual ~AuditionReport() = default;
  virtual void sent(const std::string& line) = 0;
  virtual void said(const std::string& text) = 0;
};

class FileWatch;

// After each save of `path`, reads it again and sends the voice when it
// changed: voice `voice` when given, else the lowest the save changed. A
// save that does not read says why and sends nothing. Ends when the watch
// is interrupted (ok) or the port fails.
PortResult keep_auditioning(Port& port, Timekeeper& time, FileWatch& watch, const char* path,
                            std::optional<int> voice, AuditionFile last,
                            const AuditionSettings& settings, std::optional<int> channel,
                            AuditionReport& report, bool& sounding);

}  // namespace bank
