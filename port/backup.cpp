#include "backup.h"

#include "formats/bank_codec.h"
#include "formats/config_dump.h"

namespace bank {

std::vector<StoredMessage> whole_instrument(int system_number) {
  std::vector<StoredMessage> messages;
  for (int n = 0; n < kStorableBankCount; ++n) {
    StoredMessage message;
    message.bank.system_number = system_number;
    message.bank.bank_number = n;
    messages.push_back(message);
  }
  for (int m = 0; m <= kConfigMemoryCount; ++m) {
    StoredMessage message;
    message.form = StoredMessage::Form::config;
    message.config.system_number = system_number;
    message.config.memory = m < kConfigMemoryCount ? m : kCurrentConfig;
    messages.push_back(message);
  }
  return messages;
}

BackupResult back_up(Port& port, Timekeeper& time, const TransferSettings& settings,
                     BackupStatus& status) {
  BackupResult backup;
  backup.got = whole_instrument(settings.system_number);
  for (std::size_t i = 0; i < backup.got.size(); ++i) {
    StoredMessage& message = backup.got[i];
    const std::unique_ptr<MessageKind> kind = kind_of(message);
    backup.result = receive_message(port, time, *kind, settings, status);
    if (backup.result.outcome != Outcome::done) {
      backup.failed_at = i;
      return backup;
    }
    message = with_dump(message, backup.result.message);
    status.message_done(kind->message_size());
  }
  return backup;
}

}  // namespace bank
