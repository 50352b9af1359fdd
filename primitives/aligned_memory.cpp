#include <primitives/aligned_memory.h>

#include <cstdlib>
#include <new>

namespace ns_primitives {

void* aligned_allocate(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    const std::size_t rounded = (bytes + k_alignment - 1) / k_alignment * k_alignment;
    void* block = std::aligned_alloc(k_alignment, rounded);
    if (!block) throw std::bad_alloc();
    return block;
}

void aligned_free(void* block) noexcept {
    std::free(block);
}

} // namespace ns_primitives
