// The transfers between a port and the instrument, as plain steps over the
// Port and Timekeeper interfaces, for a message of any kind: sending it on
// its schedule and reading it back to prove it arrived, and fetching it.
// What is particular to a kind (its request, its answer, its packets, the
// comparison) is its codec's.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include <span>
#include <vector>

#include "formats/message_kind.h"
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
  // After the last packet, before the message is read back: the instrument
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
  differs,      // the message read back stayed different from the one sent
  port_error,   // the port failed; `port_words` says how
  interrupted,  // SIGINT, SIGTERM or SIGHUP
};

struct TransferResult {
  Outcome outcome = Outcome::done;
  int status_code = 0;                // refused: the status message's code
  BankFault fault = BankFault::none;  // damaged: how
  std::string differences;            // differs: "the bank name and voices 3, 17-20"
  std::vector<std::uint8_t> message;  // receive: the message received
  std::string port_words;             // port_error: the system's words
  int sends = 0;                      // times the dump, or the request, was sent
};

// Sends `message` (one `kind` encoded) to the instrument in the kind's
// packets, and unless told not to, reads it back and compares it. A damaged
// or different answer sends everything again, up to `tries` sends; no
// answer at all ends at once.
TransferResult send_message(Port& port, Timekeeper& time, const MessageKind& kind,
                            std::span<const std::uint8_t> message,
                            const TransferSettings& settings, TransferStatus& status);

// Requests a message of `kind` and reads the answer into the result's
// `message`; a damaged answer is requested again, up to `tries` requests.
TransferResult receive_message(Port& port, Timekeeper& time, const MessageKind& kind,
                               const TransferSettings& settings, TransferStatus& status);

// Sends the packets, each no earlier than its time on the schedule and no
// earlier than the schedule's silence after the packet before it actually
// left. An interrupt or a failure inside a message ends it with F7.
PortResult send_packets(Port& port, Timekeeper& time, const std::vector<TimedPacket>& packets,
                        TransferStatus& status);

// The fault of a damaged answer in syx2text's words ("Checksum error..").
std::string fault_words(BankFault fault);

}  // namespace bank
