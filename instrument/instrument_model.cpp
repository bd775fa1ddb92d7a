#include "instrument_model.h"

#include <algorithm>
#include <string>

#include "formats/field_layout.h"
#include "formats/bank_codec.h"
#include "system/input_stream.h"
#include "formats/message_layout.h"
#include "formats/message_reader.h"
#include "formats/packet_schedule.h"
#include "formats/voice_kind.h"

namespace bank {

VoiceData sample_voice(std::string_view name, int seed) {
  VoiceData data{};
  std::copy_n(name.begin(), std::min(name.size(), kNameLength), data.begin());
  // The fields of the standard lines; those of the EXT line keep their
  // presets, as in the instrument's own voices.
  for (std::size_t f = 0; f < static_cast<std::size_t>(VoiceField::ON1); ++f) {
    const FieldLayout& layout = voice_field_layout(static_cast<VoiceField>(f));
    // No value above what the instrument knows (CNT 4, PBR 12).
    const int value = seed * 7 + static_cast<int>(f) * 3;
    pack_field(data, layout, layout.listed_max < 0 ? value : value % (layout.listed_max + 1));
  }
  for (int op = 0; op < kOperatorCount; ++op)
    for (std::size_t f = 0; f < kOperatorFieldCount; ++f)
      pack_field(operator_data(data, op), operator_field_layout(static_cast<OperatorField>(f)),
                 seed * 5 + op * 11 + static_cast<int>(f));
  set_preset_voice_bits(data);
  return data;
}

BankData sample_bank(int n) {
  BankData data;
  data.bank_number = n;
  const std::string name = "Bank " + std::to_string(n) + " ";
  std::copy(name.begin(), name.end(), data.name_block.begin());
  data.name_block[7] = ' ';
  for (int v = 0; v < kVoiceCount; ++v)
    data.voices[static_cast<std::size_t>(v)] =
        sample_voice("V" + std::to_string(n) + "-" + std::to_string(v + 1), n * 50 + v);
  // Voices as owners' banks hold them: an operator off and the output bits
  // clear; a user code and a bit that no value holds.
  data.voices[0][11] = 0x70;
  data.voices[0][12] &= 0x3F;
  data.voices[1][7] = 0x20;
  data.voices[1][16] |= 0x80;
  return data;
}

ConfigData sample_config(int n) {
  ConfigData config;
  config.memory = n;
  const std::string name = n == kCurrentConfig ? "Current " : "Conf " + std::to_string(n + 1) + "  ";
  std::copy_n(name.begin(), kConfigNameLength, config.bytes.begin());
  for (std::size_t i = kConfigNameLength; i < kConfigDataSize; ++i)
    config.bytes[i] = static_cast<std::uint8_t>((i * 3 + static_cast<std::size_t>(n + 2) * 7) % 128);
  return config;
}

InstrumentModel::InstrumentModel(const InstrumentSettings& settings) : settings_(settings) {
  for (int n = 0; n < 7; ++n) banks_[static_cast<std::size_t>(n)] = sample_bank(n);
  current_ = sample_config(kCurrentConfig);
  for (int n = 0; n < kConfigMemoryCount; ++n)
    configs_[static_cast<std::size_t>(n)] = sample_config(n);
}

std::vector<std::uint8_t> InstrumentModel::received() const {
  std::vector<std::uint8_t> all;
  for (const Arrival& a : arrivals_) all.insert(all.end(), a.bytes.begin(), a.bytes.end());
  return all;
}

// Gathers System Exclusive messages; real-time bytes are not part of them.
void InstrumentModel::take(std::span<const std::uint8_t> bytes, Clock::time_point first,
                           Clock::duration per_byte) {
  if (settings_.tick && !next_tick_) next_tick_ = first;
  arrivals_.push_back({first, {bytes.begin(), bytes.end()}});
  if (settings_.echo) queue_.push_back({first, {bytes.begin(), bytes.end()}});
  Clock::time_point at = first;
  for (const std::uint8_t byte : bytes) {
    if (is_real_time(byte)) continue;
    if (message_.empty() && byte != kSysExStart) {
      heard_channel_byte(byte, at);
      at += per_byte;
      continue;
    }
    if (byte == kSysExStart) {
      if (at < answer_until_) ++spoken_over_;
      message_.clear();
      times_.clear();
    }
    if (!message_.empty() || byte == kSysExStart) {
      message_.push_back(byte);
      times_.push_back(at);
      if (byte == kSysExEnd) {
        heard(at);
        message_.clear();
        times_.clear();
      }
    }
    at += per_byte;
  }
}

std::vector<std::uint8_t> InstrumentModel::due(Clock::time_point now) {
  std::vector<std::uint8_t> bytes;
  for (;;) {
    const bool tick_first =
        next_tick_ && *next_tick_ <= now && (queue_.empty() || *next_tick_ <= queue_.front().at);
    if (tick_first) {
      bytes.push_back(*settings_.tick);
      *next_tick_ += settings_.tick_every;
    } else if (!queue_.empty() && queue_.front().at <= now) {
      bytes.insert(bytes.end(), queue_.front().bytes.begin(), queue_.front().bytes.end());
      queue_.pop_front();
    } else {
      return bytes;
    }
  }
}

std::optional<Clock::time_point> InstrumentModel::next_due() const {
  if (queue_.empty()) return next_tick_;
  if (!next_tick_) return queue_.front().at;
  return std::min(queue_.front().at, *next_tick_);
}

void InstrumentModel::heard(Clock::time_point at) {
  const std::vector<std::uint8_t>& m = message_;
  if (m.size() < 8 || m[1] != kManufacturerId || m[2] != kBankDumpId ||
      m[3] != settings_.system_number)
    return;
  if (m.size() == 8 && m[4] == 0x10 && m[5] == 0x21 && m[6] == 0x00) {
    protect_ = false;
    return;
  }
  if (m.size() == 8 && m[4] == 0x20 && m[5] == 0x40) {
    // The current configuration stored into a memory, a while after it came.
    const int n = m[6];
    if (settings_.stores_current_config && !protect_ && n < kStorableConfigCount &&
        current_dump_at_ &&
        at - *current_dump_at_ >= std::chrono::milliseconds(kConfigStoreDelayMs)) {
      configs_[static_cast<std::size_t>(n)].bytes = current_.bytes;
      ++dumps_stored_;
    }
    return;
  }
  if (m.size() == 8 && m[4] == 0x20) {
    ++requests_;
    const int n = m[6];
    if (settings_.status_code || (m[5] == 0x00 && n > kLastBankNumber) ||
        (m[5] == 0x02 && n >= kConfigMemoryCount) || (m[5] == 0x01 && n != 0)) {
      answer({0xF0, 0x43, 0x60, static_cast<std::uint8_t>(settings_.status_code.value_or(1)), 0xF7},
             0, at);
    } else if (m[5] == 0x00) {
      BankData data = bank(n);
      data.system_number = settings_.system_number;
      data.bank_number = n;
      answer(dump_of_bank(data), voice_block_offset(5) + 130, at);  // voice 5's checksum
    } else if (m[5] == 0x01 || m[5] == 0x02) {
      ConfigData data = config(m[5] == 0x01 ? kCurrentConfig : n);
      data.system_number = settings_.system_number;
      data.memory = m[5] == 0x01 ? kCurrentConfig : n;
      const ConfigDump dump = encode_config_dump(data);
      answer({dump.begin(), dump.end()}, kConfigMessageSize - 2, at);
    }
    return;
  }
  if (m.size() == kSingleVoiceSize && m[4] >= kSingleVoiceBase &&
      m[4] < kSingleVoiceBase + kInstrumentCount && m[5] == 0 && m[6] == 0) {
    InputStream in = memory_input(m);
    const std::optional<MessageReading> reading = begin_message(in, kVoiceMessageReceived);
    Block block;
    if (reading) {
      MessageReading voice = *reading;
      if (read_next_block(in, voice, block).fault == BlockFault::none &&
          block.data.size() == kVoiceDataSize) {
        VoiceData data{};
        std::copy(block.data.begin(), block.data.end(), data.begin());
        buffers_[static_cast<std::size_t>(m[4] - kSingleVoiceBase)] = data;
      }
    }
    return;
  }
  if (m.size() == kConfigMessageSize && m[4] == 0 && (m[5] == 0x01 || m[5] == 0x02)) {
    heard_config(at);
    return;
  }
  if (m.size() != kMessageSize || m[4] != 0 || m[5] != 0 || m[6] > 1) return;
  // Each block must begin at least min_block_gap after the last one ended.
  bool overrun = false;
  for (int v = 1; v <= kVoiceCount; ++v) {
    const std::size_t begins = voice_block_offset(v);
    const Clock::duration gap = times_[begins] - times_[begins - 1];
    least_gap_ = std::min(least_gap_, gap);
    overrun = overrun || gap < settings_.min_block_gap;
  }
  InputStream in = memory_input(m);
  std::optional<MessageReading> header = begin_message(in, kVoiceMessageReceived);
  if (!header || header->header.form != MessageForm::bank_dump) return;
  const DecodedBank dump = decode_received_bank(in, *header);
  if (overrun || protect_ || dump.fault != BankFault::none) return;
  if (dumps_dropped_ < settings_.dropped_dumps) {
    ++dumps_dropped_;
    return;
  }
  BankData& kept = banks_[m[6]];
  std::copy_n(dump.bank.name_block.begin(), kNameLength, kept.name_block.begin());
  kept.voices = dump.bank.voices;
  ++dumps_stored_;
}

// Notes on and off, with running status; any other status byte ends it.
void InstrumentModel::heard_channel_byte(std::uint8_t byte, Clock::time_point at) {
  if (byte >= 0x80) {
    running_status_ = (byte & 0xE0) == 0x80 ? byte : 0;  // 8n and 9n
    channel_message_.clear();
    return;
  }
  if (running_status_ == 0) return;
  channel_message_.push_back(byte);
  if (channel_message_.size() < 2) return;
  const bool on = (running_status_ & 0xF0) == 0x90 && channel_message_[1] != 0;
  notes_.push_back({at, running_status_ & 0x0F, channel_message_[0], on ? channel_message_[1] : 0});
  channel_message_.clear();
}

void InstrumentModel::heard_config(Clock::time_point at) {
  const std::optional<ConfigData> data = config_of_dump(message_);
  if (!data) return;
  if (data->memory == kCurrentConfig) {
    current_.bytes = data->bytes;
    current_dump_at_ = at;
    ++dumps_stored_;
  } else if (settings_.stores_memory_dumps && !protect_ && config_is_storable(data->memory)) {
    configs_[static_cast<std::size_t>(data->memory)].bytes = data->bytes;
    ++dumps_stored_;
  }
}

// Queues `message` as the answer, damaged at byte `damage_at` while the
// settings ask for damaged answers.
void InstrumentModel::answer(std::vector<std::uint8_t> message, std::size_t damage_at,
                             Clock::time_point at) {
  if (settings_.silent) return;
  const bool status = message.size() == 5;
  if (!status && damaged_ < settings_.damaged_answers) {
    ++damaged_;
    message[damage_at] ^= 0x01;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (settings_.active_sensing && i % 500 == 250) bytes.push_back(0xFE);
    bytes.push_back(message[i]);
  }
  // In pieces, as a cable at the given rate brings them.
  constexpr std::size_t kPiece = 64;
  for (std::size_t from = 0; from < bytes.size(); from += kPiece) {
    const auto after =
        settings_.bytes_per_second > 0
            ? std::chrono::microseconds(static_cast<std::int64_t>(
                  1e6 * static_cast<double>(from + kPiece) / settings_.bytes_per_second))
            : std::chrono::microseconds(0);
    const auto end =
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from + kPiece, bytes.size()));
    queue_.push_back({at + after, {bytes.begin() + static_cast<std::ptrdiff_t>(from), end}});
    answer_until_ = at + after;
  }
}

}  // namespace bank
