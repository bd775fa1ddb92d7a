// Memory as a byte source: handed over as a file is, as far as the room
// given allows on each read. Tests and fuzzers drive every refill path of
// the readers with it, however small the buffer, without temporary files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "byte_source.h"
#include "input_stream.h"

namespace bank {

class ChunkedSource final : public ByteSource {
 public:
  explicit ChunkedSource(std::span<const std::uint8_t> bytes) : pending_(bytes) {}
  SourceRead read(std::span<std::uint8_t> room) override;

 private:
  std::span<const std::uint8_t> pending_;  // not yet handed over
};

// Memory read through a buffer of `buffer_size` bytes.
InputStream chunked_input(std::span<const std::uint8_t> bytes, std::size_t buffer_size);

}  // namespace bank
