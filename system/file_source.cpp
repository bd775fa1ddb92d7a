#include "file_source.h"

#include <memory>

#include "file_services.h"

namespace bank {

SourceRead FileSource::read(std::span<std::uint8_t> room) {
  const std::int64_t got = read_some(file_, room);
  if (got < 0) return {SourceState::read_error};
  if (got == 0) return {SourceState::end};
  return {SourceState::bytes, static_cast<std::size_t>(got)};
}

InputStream file_input(std::FILE* file, std::size_t buffer_size) {
  return source_input(std::make_unique<FileSource>(file), buffer_size);
}

}  // namespace bank
