// Buffered byte input from an open file or from a block of memory.
//
// Both programs read their input front to back exactly once, so the input is
// a window of bytes that is refilled from the file (through its descriptor,
// taking what a pipe holds now rather than waiting for a full buffer) when
// it runs dry. Nothing
// is ever read past the end of the data: at the end every read yields -1.
// The stream never seeks, so pipes and terminals read like regular files,
// and it holds one buffer whatever the size of the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace bank {

struct InputStream {
  std::FILE* file = nullptr;             // null: the window is all there is
  std::vector<std::uint8_t> buffer;      // storage behind the window
  std::span<const std::uint8_t> window;  // bytes read but not yet consumed
  bool failed = false;                   // the file reported a read error
  std::uint64_t filled = 0;              // bytes brought into the window so far
};

// Offset from the start of the data of the next byte to be consumed.
inline std::uint64_t position(const InputStream& in) { return in.filled - in.window.size(); }

InputStream memory_input(std::span<const std::uint8_t> bytes);
InputStream file_input(std::FILE* file);

// Refills the window; false at the end of the data or after a read error.
bool refill(InputStream& in);

inline int peek_byte(InputStream& in) {
  if (in.window.empty() && !refill(in)) return -1;
  return in.window.front();
}

inline int next_byte(InputStream& in) {
  if (in.window.empty() && !refill(in)) return -1;
  const int byte = in.window.front();
  in.window = in.window.subspan(1);
  return byte;
}

// Copies up to out.size() bytes; returns how many there were.
std::size_t read_bytes(InputStream& in, std::span<std::uint8_t> out);

}  // namespace bank
