// The transfers between a port and the instrument, as plain steps over the
// Port interface: sending a bank on its schedule and reading it back to
// prove it arrived, and fetching a bank.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "formats/bank_data.h"
#include "formats/message_layout.h"
#include "formats/packet_schedule.h"
#include "lister/list_dump.h"
#include "port.h"

namespace bank {

struct TransferSettings {
  int system_number = 0;
  std::uint32_t gap_ms = kVoicePacketGapMs;  // from one voice packet to the next
  int tries = 3;                             // sends, or requests, in all
  std::chrono::milliseconds timeout{5000};   // for the whole answer to a request
  // After the last packet, before the bank is read back: the instrument
  // finishes storing.
  std::chrono::milliseconds settle{1000};
  bool verify = true;
};

// Where a transfer reports as it goes: a warning line for each send or
// request tried again (written to `err` at once, or kept in `warnings`),
// and, when `progress` is set, a progress line on `err` updated in place.
struct TransferLog {
  std::FILE* err = nullptr;
  bool progress = false;
  std::string warnings;
};

enum class Outcome {
  done,
  no_answer,    // nothing came back within the timeout
  refused,      // the instrument answered with a status message
  damaged,      // the answer stayed damaged
  differs,      // the bank read back stayed different from the bank sent
  port_error,   // the port failed (errno tells why)
  interrupted,  // SIGINT, SIGTERM or SIGHUP
};

struct TransferResult {
  Outcome outcome = Outcome::done;
  int status_code = 0;                // refused: the status message's code
  ListStatus fault = ListStatus::ok;  // damaged: how
  std::string differences;            // differs: "the bank name and voices 3, 17-20"
  int sends = 0;                      // times the dump, or the request, was sent
};

// Sends `dump` to the instrument on the schedule of bank_dump_packets, and
// unless told not to, reads the bank back and compares it: its name and
// every voice byte must be those sent. A damaged or different answer sends
// everything again, up to `tries` sends; no answer at all ends at once.
TransferResult send_bank(Port& port, std::span<const std::uint8_t, kMessageSize> dump,
                         const TransferSettings& settings, TransferLog& log);

// Requests bank `bank_number` and reads the answer into `bank`; a damaged
// answer is requested again, up to `tries` requests.
TransferResult receive_bank(Port& port, int bank_number, const TransferSettings& settings,
                            BankData& bank, TransferLog& log);

// The fault of a damaged answer in syx2text's words ("Checksum error..").
std::string fault_words(ListStatus fault);

// What differs between two banks, as a text names it: "the bank name",
// "voice 3", "voices 3, 17-20", or both joined by " and "; empty when the
// name and every voice byte are the same (bytes 7-31 of the bank-name
// block, where the instrument keeps its own, are not compared).
std::string bank_differences(const BankData& sent, const BankData& back);

}  // namespace bank
