#include "allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void note_allocation() {
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)

// AddressSanitizer owns malloc and operator new; it reports every allocation to a hook. (Its
// runtime provides the function; GCC installs no header declaring it.)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*on_allocation)(const volatile void*,
                                                                               std::size_t),
                                                         void (*on_release)(const volatile void*));

namespace {
extern "C" void on_allocation(const volatile void*, std::size_t) {
    note_allocation();
}
extern "C" void on_release(const volatile void*) {}
[[maybe_unused]] const int g_hooks_installed =
    __sanitizer_install_malloc_and_free_hooks(on_allocation, on_release);
} // namespace

#else

// Interposed for the whole process, the dlopened plugins included: the program's definitions
// come first in symbol lookup. operator new is replaced as well, though libstdc++'s own
// allocates through malloc anyway.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) {
    note_allocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note_allocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    note_allocation();
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    note_allocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return memalign(alignment, size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
    *result = memalign(alignment, size);
    return *result ? 0 : 12; // ENOMEM
}
}

// The default operator delete frees through free(), which takes these blocks as its own.
void* operator new(std::size_t size) {
    if (void* block = malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}

#endif

namespace zq_plugin_test {

counted_allocations::counted_allocations() {
    g_allocations.store(0);
    g_counting.store(true);
}

counted_allocations::~counted_allocations() {
    g_counting.store(false);
}

long counted_allocations::count() const {
    return g_allocations.load();
}

} // namespace zq_plugin_test
