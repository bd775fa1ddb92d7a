#include "chunked_source.h"

#include <algorithm>
#include <memory>

namespace bank {

SourceRead ChunkedSource::read(std::span<std::uint8_t> room) {
  if (pending_.empty()) return {SourceState::end};
  const std::size_t got = std::min(room.size(), pending_.size());
  std::copy_n(pending_.data(), got, room.data());
  pending_ = pending_.subspan(got);
  return {SourceState::bytes, got};
}

InputStream chunked_input(std::span<const std::uint8_t> bytes, std::size_t buffer_size) {
  return source_input(std::make_unique<ChunkedSource>(bytes), buffer_size);
}

}  // namespace bank
