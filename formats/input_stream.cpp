#include "input_stream.h"

#include <algorithm>

namespace bank {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

InputStream memory_input(std::span<const std::uint8_t> bytes) {
  InputStream in;
  in.window = bytes;
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
  const std::size_t got = std::fread(in.buffer.data(), 1, in.buffer.size(), in.file);
  if (got == 0) {
    if (std::ferror(in.file) != 0) in.failed = true;
    return false;
  }
  in.window = std::span<const std::uint8_t>(in.buffer.data(), got);
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
