// An allocator for the few big arrays a run needs (a file's contents, its
// parsed entries): they come straight from the kernel, in transparent huge
// pages where it offers them. Touching a megabyte page by page cost more
// than parsing it on the machines we measured.
#ifndef TOLVANE_LARGE_ALLOCATOR_H_
#define TOLVANE_LARGE_ALLOCATOR_H_

#include <cstddef>
#include <string>
#include <vector>

namespace tolvane {

void* allocate_large(std::size_t bytes);
void deallocate_large(void* memory, std::size_t bytes);

template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(allocate_large(n * sizeof(T))); }
  void deallocate(T* memory, std::size_t n) { deallocate_large(memory, n * sizeof(T)); }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace tolvane

#endif  // TOLVANE_LARGE_ALLOCATOR_H_
