// Advice to the memory system about large buffers; each platform file implements it.
#pragma once

#include <cstddef>

namespace drumlo {

// Buffers at least this large are worth the advice below.
inline constexpr std::size_t kLargeBufferBytes = std::size_t{4} << 20;

// Asks for large pages behind a buffer that is about to be written in full: the first touch
// of small pages costs more than decoding or copying the data itself. Only advice; it may do
// nothing, and it never changes the content.
void AdviseLargePages(void* data, std::size_t size);

}  // namespace drumlo
