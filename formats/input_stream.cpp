#include "input_stream.h"

#include <algorithm>

#include "file_services.h"

namespace bank {
namespace {
constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
}

InputStream memory_input(std::span<const std::uint8_t> bytes) {
  InputStream in;
  in.window = bytes;
  in.filled = bytes.size();
  return in;
}

InputStream file_input(std::FILE* file) {
  InputStream in;
  in.file = file;
  return in;
}

bool refill(InputStream& in) {
  if (in.file == nullptr || in.failed) return false;
  if (in.buffer.empty()) in.buffer.resize(kBufferSize);
  // read_some() hands over what a pipe or terminal holds now instead of waiting
  // for a full buffer, so the listing of a dump that arrives through a pipe
  // does not wait on bytes it does not need.
  const std::int64_t got = read_some(in.file, in.buffer);
  if (got <= 0) {
    in.failed = got < 0;
    return false;
  }
  in.window = std::span<const std::uint8_t>(in.buffer.data(), static_cast<std::size_t>(got));
  in.filled += static_cast<std::uint64_t>(got);
  return true;
}

std::size_t read_bytes(InputStream& in, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    if (in.window.empty() && !refill(in)) break;
    const std::size_t n = std::min(in.window.size(), out.size() - done);
    std::copy_n(in.window.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(done));
    in.window = in.window.subspan(n);
    done += n;
  }
  return done;
}

}  // namespace bank
