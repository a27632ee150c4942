#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "large_allocator.h"

namespace tolvane {
namespace {

// Smaller blocks come from the ordinary heap.
constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// What deallocate_large needs to give a mapping back, kept just before the
// memory handed out.
struct Mapping {
  void* start;
  std::size_t length;
};

}  // namespace

void* allocate_large(std::size_t bytes) {
  if (bytes < kLarge) return ::operator new(bytes);
  // Whole huge pages, aligned, with room for the mapping's record before them.
  const std::size_t pages = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  const std::size_t length = pages + kHugePage;
  void* start = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) throw std::bad_alloc();
  const auto first = reinterpret_cast<std::uintptr_t>(start) + sizeof(Mapping);
  auto* memory = reinterpret_cast<char*>((first + kHugePage - 1) & ~(kHugePage - 1));
#ifdef MADV_HUGEPAGE
  madvise(memory, pages, MADV_HUGEPAGE);  // only advice: fine if refused
#endif
  reinterpret_cast<Mapping*>(memory)[-1] = {start, length};
  return memory;
}

void deallocate_large(void* memory, std::size_t bytes) {
  if (bytes < kLarge) {
    ::operator delete(memory);
    return;
  }
  const Mapping mapping = static_cast<Mapping*>(memory)[-1];
  munmap(mapping.start, mapping.length);
}

}  // namespace tolvane
