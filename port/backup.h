// The whole instrument fetched in one pass: banks 0 and 1, configuration
// memories 1-20 and the current configuration, in that order, the order in
// which a restore stores them (the current configuration last, as storing
// a memory by way of it changes it).
#pragma once

#include <vector>

#include "message_file.h"
#include "transfer.h"

namespace bank {

// What a backup asks for, for the instrument of `system_number`.
std::vector<StoredMessage> whole_instrument(int system_number);

// Where a backup reports: the transfer's calls, and each message done.
class BackupStatus : public TransferStatus {
 public:
  virtual void message_done(std::size_t size) = 0;
};

struct BackupResult {
  TransferResult result;           // of the first message that failed, or done
  std::vector<StoredMessage> got;  // the messages received, in order
  std::size_t failed_at = 0;       // the index of the one that failed
};

// Fetches every message of whole_instrument, stopping at the first that
// fails.
BackupResult back_up(Port& port, Timekeeper& time, const TransferSettings& settings,
                     BackupStatus& status);

}  // namespace bank
