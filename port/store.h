// Storing a message in the instrument and proving it: a bank, or the
// current configuration, by its dump; a configuration memory first by its
// own dump, and where the memory does not read back as sent, by the
// current configuration's dump and the message that stores it there (which
// also leaves it current), as instruments differ in which they take.
#pragma once

#include <optional>

#include "formats/config_kind.h"
#include "message_file.h"
#include "transfer.h"

namespace bank {

struct StoreResult {
  TransferResult result;
  ConfigRoute route = ConfigRoute::dump;  // the route that stored it
};

// Stores `message`; `known`, when given, is the route a memory takes (found
// by a store before), tried alone.
StoreResult store_message(Port& port, Timekeeper& time, const StoredMessage& message,
                          const TransferSettings& settings, TransferStatus& status,
                          std::optional<ConfigRoute> known = std::nullopt);

}  // namespace bank
