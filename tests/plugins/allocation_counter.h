// Counts every heap allocation the process makes (malloc and its relatives, operator new)
// while a counted_allocations object lives, whichever library makes it.
#pragma once

namespace zq_plugin_test {

class counted_allocations {
public:
    counted_allocations();
    ~counted_allocations();
    counted_allocations(const counted_allocations&) = delete;
    counted_allocations& operator=(const counted_allocations&) = delete;

    long count() const;
};

} // namespace zq_plugin_test
