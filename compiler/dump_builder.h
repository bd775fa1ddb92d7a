// Packing the compiler's state into the 6363-byte bulk-dump message.
#pragma once

#include "text/bank_state.h"
#include "formats/bank_data.h"

namespace bank {

// Fills state.message from the system and bank numbers, the bank name and
// voices 1-48 (never the spare record). Name characters that cannot be sent
// (0x00-0x1F and 0x80-0xFF, among them the newline and zero bytes that short
// names carry) are replaced by spaces in the state itself. Cannot fail.
void build_bulk_dump(BankState& state);

// The bank the message holds, as data: what build_bulk_dump encodes.
BankData packed_bank(BankState& state);

}  // namespace bank
