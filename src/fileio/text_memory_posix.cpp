#include <sys/mman.h>

#include <algorithm>

#include "fileio/text_memory.h"

namespace drumlo {
namespace {

constexpr std::size_t kBlockBytes = TextMemory::kBlockUnits * sizeof(char16_t);

}  // namespace

std::unique_ptr<TextMemory> TextMemory::Reserve(std::size_t units) {
  if (units == 0) units = 1;
  if (units > (std::size_t{1} << 40)) return nullptr;
  const std::size_t bytes = units * sizeof(char16_t);
  void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (data == MAP_FAILED) return nullptr;
  return std::unique_ptr<TextMemory>(new TextMemory(static_cast<char16_t*>(data), units, bytes));
}

TextMemory::~TextMemory() {
  munmap(data_, mapped_bytes_);
}

#if defined(__linux__) && defined(MREMAP_DONTUNMAP)
// The page table entries of the old block move to the new one: no copy, no page taken. The old
// block stays mapped, empty, so the whole range remains this text's and reads as zeros there.
bool TextMemory::MoveBlock(std::size_t from, std::size_t to) {
  if (from == to || (std::max(from, to) + 1) * kBlockBytes > mapped_bytes_) return false;
  char* const base = reinterpret_cast<char*>(data_);
  return mremap(base + from * kBlockBytes, kBlockBytes, kBlockBytes,
                MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP,
                base + to * kBlockBytes) != MAP_FAILED;
}
#else
bool TextMemory::MoveBlock(std::size_t, std::size_t) {
  return false;
}
#endif

}  // namespace drumlo
