#include <windows.h>

#include "fileio/text_memory.h"

namespace drumlo {

std::unique_ptr<TextMemory> TextMemory::Reserve(std::size_t units) {
  if (units == 0) units = 1;
  if (units > (std::size_t{1} << 40)) return nullptr;
  const std::size_t bytes = units * sizeof(char16_t);
  void* data = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data == nullptr) return nullptr;
  return std::unique_ptr<TextMemory>(new TextMemory(static_cast<char16_t*>(data), units, bytes));
}

TextMemory::~TextMemory() {
  VirtualFree(data_, 0, MEM_RELEASE);
}

// Windows has no way to move committed pages within a range; each block takes fresh pages.
bool TextMemory::MoveBlock(std::size_t, std::size_t) {
  return false;
}

}  // namespace drumlo
