// The transfers between a port and the instrument, as plain steps over the
// Port and Timekeeper interfaces: sending a bank on its schedule and
// reading it back to prove it arrived, and fetching a bank.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "formats/bank_codec.h"
#include "formats/packet_schedule.h"
#include "port.h"

namespace bank {

struct TransferSettings {
  int system_number = 0;
  std::uint32_t gap_ms = kVoicePacketGapMs;  // from one voice packet to the next
  int tries = 3;                             // sends, or requests, in all (at least one)
  // The silence after which an answer is taken to be over, or not to come:
  // for its first byte, and for each next one.
  std::chrono::milliseconds timeout{5000};
  // After the last packet, before the bank is read back: the instrument
  // finishes storing.
  std::chrono::milliseconds settle{1000};
  // After a damaged answer, the silence that says the instrument has
  // finished sending it, before it is asked again or left.
  std::chrono::milliseconds quiet{200};
  bool verify = true;
};

// Where a transfer reports as it goes. Only the program writes to the
// terminal: it draws the progress lines and the warnings from these calls.
class TransferStatus {
 public:
  TransferStatus() = default;
  TransferStatus(const TransferStatus&) = delete;
  TransferStatus& operator=(const TransferStatus&) = delete;
  virtual ~TransferStatus() = default;

  virtual void packet_sent(int packet, int packet_count) = 0;
  virtual void bytes_received(std::uint64_t count, int expected) = 0;
  // A send or request is tried again: the whole warning line.
  virtual void warning(const std::string& line) = 0;
  // The packets are sent, or the answer read.
  virtual void step_done() = 0;
};

enum class Outcome {
  done,
  no_answer,    // nothing came back within the timeout
  refused,      // the instrument answered with a status message
  damaged,      // the answer stayed damaged
  differs,      // the bank read back stayed different from the bank sent
  port_error,   // the port failed; `port_words` says how
  interrupted,  // SIGINT, SIGTERM or SIGHUP
};

struct TransferResult {
  Outcome outcome = Outcome::done;
  int status_code = 0;                // refused: the status message's code
  BankFault fault = BankFault::none;  // damaged: how
  std::string differences;            // differs: "the bank name and voices 3, 17-20"
  std::string port_words;             // port_error: the system's words
  int sends = 0;                      // times the dump, or the request, was sent
};

// Sends `bank` to the instrument as its bank dump on the schedule of
// bank_dump_packets, and unless told not to, reads the bank back and
// compares it: its name and every voice byte must be those sent. A damaged
// or different answer sends everything again, up to `tries` sends; no
// answer at all ends at once.
TransferResult send_bank(Port& port, Timekeeper& time, const BankData& bank,
                         const TransferSettings& settings, TransferStatus& status);

// Requests bank `bank_number` and reads the answer into `bank`; a damaged
// answer is requested again, up to `tries` requests.
TransferResult receive_bank(Port& port, Timekeeper& time, int bank_number,
                            const TransferSettings& settings, BankData& bank,
                            TransferStatus& status);

// The fault of a damaged answer in syx2text's words ("Checksum error..").
std::string fault_words(BankFault fault);

}  // namespace bank
