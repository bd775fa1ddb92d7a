// Buffered byte input from a byte source or from a block of memory.
//
// Every reader takes its input front to back exactly once, so the input is
// a window of bytes that is refilled from its source (a file, memory in
// chunks, a MIDI file's System Exclusive data, a port) when it runs dry.
// Nothing is ever read past the end of the data: at the end every read
// yields -1, and the end, once a source has told it, is remembered, so that
// a terminal or a port is not waited on again. The stream never seeks, and
// it holds one buffer whatever the size of the input; only a line asked for
// whole (next_line) may grow the buffer to its length.
//
// The window is kept by the operations below alone; readers look at what it
// holds (`available`), take bytes from it (`consume`, `next_byte`, ...), ask
// for a whole line or pass over bytes up to a given one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "byte_source.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace bank {

inline constexpr std::size_t kInputBufferSize = std::size_t{64} * 1024;

class InputStream {
 public:
  InputStream() = default;

 private:
  friend InputStream memory_input(std::span<const std::uint8_t> bytes);
  friend InputStream source_input(ByteSource& source, std::size_t buffer_size);
  friend InputStream source_input(std::unique_ptr<ByteSource> source, std::size_t buffer_size);
  friend std::span<const std::uint8_t> peek_bytes(InputStream& in, std::size_t count);
  friend bool refill(InputStream& in);
  friend std::span<const std::uint8_t> available(InputStream& in);
  friend void consume(InputStream& in, std::size_t count);
  friend bool failed(const InputStream& in);
  friend std::uint64_t position(const InputStream& in);
  friend int peek_byte(InputStream& in);
  friend int next_byte(InputStream& in);
  friend std::optional<std::span<const std::uint8_t>> next_line(InputStream& in);
  friend std::optional<std::span<const std::uint8_t>> next_line_refilling(InputStream& in);
  friend bool skip_to_byte(InputStream& in, std::uint8_t byte);

  ByteSource* source_ = nullptr;       // refills the window; none for memory
  std::unique_ptr<ByteSource> owned_;  // the source, when the stream owns it
  bool ended_ = false;                 // the source told the end, or an error
  struct Release {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<std::uint8_t[], Release> buffer_;  // storage behind the window (malloc'd)
  std::size_t capacity_ = 0;                         // its size once allocated
  std::span<const std::uint8_t> window_;             // bytes read but not yet consumed
  bool failed_ = false;                              // the source reported a read error
  std::uint64_t filled_ = 0;                         // bytes brought into the window so far
};

// The bytes themselves are the window: nothing is copied or refilled.
InputStream memory_input(std::span<const std::uint8_t> bytes);
// A source read through a buffer of `buffer_size` bytes; the source must
// outlive the stream.
InputStream source_input(ByteSource& source, std::size_t buffer_size = kInputBufferSize);
// The same, the stream owning its source.
InputStream source_input(std::unique_ptr<ByteSource> source,
                         std::size_t buffer_size = kInputBufferSize);

// Brings more bytes into the window, keeping those not yet consumed; false
// at the end of the data, after a read error, or when a source with a
// deadline has nothing yet (only then may a later call bring more). A window
// that fills the whole buffer is kept by growing the buffer.
bool refill(InputStream& in);

// The bytes in the window now, refilled first when it is empty: empty only
// at the end of the data. Valid until the next operation on the stream.
std::span<const std::uint8_t> available(InputStream& in);
// The window, refilled until it holds at least `count` bytes or the data
// end; nothing is consumed.
std::span<const std::uint8_t> peek_bytes(InputStream& in, std::size_t count);
// Takes `count` bytes of the window (at most its size).
void consume(InputStream& in, std::size_t count);

// The source reported a read error; the data ended there.
bool failed(const InputStream& in);
// Offset from the start of the data of the next byte to be consumed.
std::uint64_t position(const InputStream& in);

inline int peek_byte(InputStream& in) {
  if (in.window_.empty() && !refill(in)) return -1;
  return in.window_.front();
}

inline int next_byte(InputStream& in) {
  if (in.window_.empty() && !refill(in)) return -1;
  const int byte = in.window_.front();
  in.window_ = in.window_.subspan(1);
  return byte;
}

// Copies up to out.size() bytes; returns how many there were.
std::size_t read_bytes(InputStream& in, std::span<std::uint8_t> out);

// The next line, its newline included (the last line of the data may have
// none), as one contiguous span valid until the next operation on the
// stream; nothing at the end of the data. A line longer than the buffer
// grows it, so memory follows the longest line, never the number of lines.
std::optional<std::span<const std::uint8_t>> next_line(InputStream& in);

// The general case of next_line: a line that runs past the window.
std::optional<std::span<const std::uint8_t>> next_line_refilling(InputStream& in);

// The first newline in [p, end), or null. Most lines are short: their
// newline is found in place, 16 bytes at a time (8 without SSE2), which
// costs less than a call to memchr; a long line is left to memchr.
inline const std::uint8_t* find_newline(const std::uint8_t* p, const std::uint8_t* end) {
#ifdef __SSE2__
  const __m128i newlines = _mm_set1_epi8('\n');
  for (int step = 0; step < 4 && end - p >= 16; ++step, p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newlines)));
    if (found != 0) return p + std::countr_zero(found);
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101U;
    constexpr std::uint64_t kHighs = 0x8080808080808080U;
    constexpr std::uint64_t kNewlines = kOnes * '\n';
    for (int step = 0; step < 8 && end - p >= 8; ++step, p += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t x = word ^ kNewlines;  // a zero byte where a newline is
      // The lowest byte flagged is the first zero byte: a borrow can flag
      // only bytes above one.
      const std::uint64_t zero = (x - kOnes) & ~x & kHighs;
      if (zero != 0) return p + (std::countr_zero(zero) >> 3);
    }
  }
#endif
  if (p == end) return nullptr;
  return static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
}

inline std::optional<std::span<const std::uint8_t>> next_line(InputStream& in) {
  const auto* const begin = in.window_.data();
  const auto* const newline = find_newline(begin, begin + in.window_.size());
  if (newline != nullptr) {
    const auto length = static_cast<std::size_t>(newline - begin) + 1;
    const auto line = in.window_.first(length);
    in.window_ = in.window_.subspan(length);
    return line;
  }
  return next_line_refilling(in);
}

// Passes over bytes up to the next `byte`, which is left to be read; false
// when the data ended first.
bool skip_to_byte(InputStream& in, std::uint8_t byte);

}  // namespace bank
