// An open file as a byte source: what the file, a pipe or a terminal holds
// now, read through its descriptor without waiting for a full buffer, so
// that the listing of a dump that arrives through a pipe does not wait on
// bytes it does not need.
#pragma once

#include <cstddef>
#include <cstdio>

#include "byte_source.h"
#include "input_stream.h"

namespace bank {

class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  SourceRead read(std::span<std::uint8_t> room) override;

 private:
  std::FILE* file_;
};

// A file read through a buffer of `buffer_size` bytes.
InputStream file_input(std::FILE* file, std::size_t buffer_size = kInputBufferSize);

}  // namespace bank
