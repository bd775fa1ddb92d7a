// Lists arbitrary bytes as a bulk dump. Whatever the bytes, the listing
// must end in a status without reading past the data; a complete listing
// has 48 voices.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "formats/input_stream.h"
#include "lister/list_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  bank::InputStream in = bank::memory_input(std::span(data, size));
  std::string text;
  const bank::ListStatus status = bank::list_dump(in, text);
  if (status == bank::ListStatus::ok && (std::count(text.begin(), text.end(), '@') < 48 ||
                                         text.rfind("\n@48: ") == std::string::npos))
    std::abort();
  if (status == bank::ListStatus::read_error) std::abort();  // memory cannot fail to read
  return 0;
}
