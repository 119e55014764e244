#pragma once

#include <cstddef>
#include <new>

// Standard allocator over a memory source: a class with static
// allocate(bytes) and deallocate(block, bytes).
template <typename T, typename Source>
struct CBlockAllocator {
    using value_type = T;

    CBlockAllocator() = default;
    template <typename U>
    CBlockAllocator(const CBlockAllocator<U, Source>& /*other*/) noexcept
    {
    }

    T* allocate(std::size_t count)
    {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(Source::allocate(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept { Source::deallocate(block, count * sizeof(T)); }

    template <typename U>
    bool operator==(const CBlockAllocator<U, Source>& /*other*/) const noexcept
    {
        return true;
    }
};
