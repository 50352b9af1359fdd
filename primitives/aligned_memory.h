// Aligned heap blocks for transform plans and work buffers.
#pragma once

#include <cstddef>

namespace ns_primitives {

// Every block is aligned for the widest vector loads the primitives use.
constexpr std::size_t k_alignment = 64;

// A block of at least `bytes` bytes, or null for 0 bytes. Throws std::bad_alloc when the heap
// cannot supply it.
void* aligned_allocate(std::size_t bytes);
// Releases a block from aligned_allocate; null is ignored.
void aligned_free(void* block) noexcept;

} // namespace ns_primitives
