#include "input_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace bank {

InputStream memory_input(std::span<const std::uint8_t> bytes) {
  InputStream in;
  in.window_ = bytes;
  in.filled_ = bytes.size();
  in.ended_ = true;
  return in;
}

InputStream source_input(ByteSource& source, std::size_t buffer_size) {
  InputStream in;
  in.source_ = &source;
  in.capacity_ = std::max<std::size_t>(buffer_size, 1);
  return in;
}

InputStream source_input(std::unique_ptr<ByteSource> source, std::size_t buffer_size) {
  InputStream in = source_input(*source, buffer_size);
  in.owned_ = std::move(source);
  return in;
}

bool refill(InputStream& in) {
  if (in.ended_) return false;
  // The buffer is allocated at the first refill and left uninitialised:
  // only what is read into it is ever touched. A window that fills it (a
  // line longer than the buffer) doubles it in place: realloc moves the
  // pages of a large block rather than copying them, so a long line costs
  // about its own length.
  if (!in.buffer_) {
    in.buffer_.reset(static_cast<std::uint8_t*>(std::malloc(in.capacity_)));
    if (!in.buffer_) {
      in.failed_ = in.ended_ = true;
      return false;
    }
  }
  const std::size_t kept = in.window_.size();
  if (kept > 0 && in.window_.data() != in.buffer_.get())
    std::memmove(in.buffer_.get(), in.window_.data(), kept);
  if (kept == in.capacity_) {
    void* const larger = std::realloc(in.buffer_.get(), in.capacity_ * 2);
    if (larger == nullptr) {  // no memory for the line: the data cannot be read
      in.failed_ = in.ended_ = true;
      return false;
    }
    in.buffer_.release();
    in.buffer_.reset(static_cast<std::uint8_t*>(larger));
    in.capacity_ *= 2;
  }
  in.window_ = std::span<const std::uint8_t>(in.buffer_.get(), kept);
  const std::span<std::uint8_t> room(in.buffer_.get() + kept, in.capacity_ - kept);
  const SourceRead read = in.source_->read(room);
  switch (read.state) {
    case SourceState::bytes: break;
    case SourceState::nothing_yet: return false;
    case SourceState::read_error: in.failed_ = true; [[fallthrough]];
    case SourceState::end: in.ended_ = true; return false;
  }
  const std::size_t got = std::min(read.count, room.size());
  in.window_ = std::span<const std::uint8_t>(in.buffer_.get(), kept + got);
  in.filled_ += got;
  return got > 0;
}

std::span<const std::uint8_t> available(InputStream& in) {
  if (in.window_.empty()) refill(in);
  return in.window_;
}

std::span<const std::uint8_t> peek_bytes(InputStream& in, std::size_t count) {
  while (in.window_.size() < count && refill(in)) {
  }
  return in.window_;
}

void consume(InputStream& in, std::size_t count) {
  in.window_ = in.window_.subspan(std::min(count, in.window_.size()));
}

bool failed(const InputStream& in) { return in.failed_; }

std::uint64_t position(const InputStream& in) { return in.filled_ - in.window_.size(); }

std::size_t read_bytes(InputStream& in, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::span<const std::uint8_t> bytes = available(in);
    if (bytes.empty()) break;
    const std::size_t n = std::min(bytes.size(), out.size() - done);
    std::copy_n(bytes.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(done));
    consume(in, n);
    done += n;
  }
  return done;
}

std::optional<std::span<const std::uint8_t>> next_line_refilling(InputStream& in) {
  std::size_t searched = 0;  // bytes of the window known to hold no newline
  for (;;) {
    if (in.window_.size() > searched) {
      const auto* const begin = in.window_.data();
      const auto* const newline = find_newline(begin + searched, begin + in.window_.size());
      if (newline != nullptr) {
        const auto length = static_cast<std::size_t>(newline - begin) + 1;
        const auto line = in.window_.first(length);
        in.window_ = in.window_.subspan(length);
        return line;
      }
      searched = in.window_.size();
    }
    if (!refill(in)) break;
  }
  if (in.window_.empty()) return std::nullopt;
  const auto line = in.window_;
  in.window_ = in.window_.subspan(line.size());
  return line;
}

bool skip_to_byte(InputStream& in, std::uint8_t byte) {
  for (;;) {
    if (in.window_.empty() && !refill(in)) return false;
    const auto* const found =
        static_cast<const std::uint8_t*>(std::memchr(in.window_.data(), byte, in.window_.size()));
    if (found != nullptr) {
      in.window_ = in.window_.subspan(static_cast<std::size_t>(found - in.window_.data()));
      return true;
    }
    in.window_ = in.window_.subspan(in.window_.size());
  }
}

}  // namespace bank
