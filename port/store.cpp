#include "store.h"

namespace bank {

StoreResult store_message(Port& port, Timekeeper& time, const StoredMessage& message,
                          const TransferSettings& settings, TransferStatus& status,
                          std::optional<ConfigRoute> known) {
  const std::vector<std::uint8_t> dump = dump_of(message);
  const bool memory = message.form == StoredMessage::Form::config &&
                      message.config.memory != kCurrentConfig;
  StoreResult stored;
  if (!memory || !settings.verify || known) {
    stored.route = memory ? known.value_or(ConfigRoute::dump) : ConfigRoute::dump;
    stored.result = send_message(port, time, *kind_of(message, stored.route), dump, settings, status);
    return stored;
  }
  // The memory's own dump once; a damaged answer asks again, a memory that
  // reads back otherwise takes the other route.
  TransferSettings once = settings;
  once.tries = 1;
  const std::unique_ptr<MessageKind> by_dump = kind_of(message, ConfigRoute::dump);
  for (int send = 1; send <= std::max(settings.tries, 1); ++send) {
    stored.result = send_message(port, time, *by_dump, dump, once, status);
    stored.result.sends = send;
    if (stored.result.outcome != Outcome::damaged) break;
  }
  if (stored.result.outcome != Outcome::differs) return stored;
  stored.route = ConfigRoute::store;
  stored.result =
      send_message(port, time, *kind_of(message, ConfigRoute::store), dump, settings, status);
  return stored;
}

}  // namespace bank
