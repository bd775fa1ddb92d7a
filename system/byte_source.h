// Where an input stream's bytes come from.
//
// A source hands over what it has, up to the room it is given: a file or a
// pipe what it holds now, a port what arrives before a deadline. It answers
// with a count, the end of its data, a read error, or (for a source with a
// deadline) nothing yet; the stream above it keeps the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bank {

enum class SourceState {
  bytes,        // `count` bytes were read
  end,          // the data are over: nothing more will come
  read_error,   // the data cannot be read further
  nothing_yet,  // the deadline passed with nothing read; more may come later
};

struct SourceRead {
  SourceState state = SourceState::end;
  std::size_t count = 0;  // bytes read, with SourceState::bytes alone
};

class ByteSource {
 public:
  ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;
  virtual ~ByteSource() = default;

  // Reads up to room.size() bytes (room is never empty) into `room`.
  virtual SourceRead read(std::span<std::uint8_t> room) = 0;
};

}  // namespace bank
