#include "util/CHugePageMemory.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "util/CMemoryReadier.h"

void* CHugePageMemory::allocate(std::size_t bytes)
{
    if (bytes >= kMinHugeBlock) {
        if (void* block = CMemoryReadier::takeArenaBlock(bytes)) {
            return block;
        }
    }
    return allocateFresh(bytes);
}

void CHugePageMemory::release(void* block) noexcept
{
    if (!CMemoryReadier::releaseArenaBlock(block)) {
        releaseFresh(block);
    }
}

void* CHugePageMemory::allocateFresh(std::size_t bytes)
{
    void* block = nullptr;
    if (bytes >= kMinHugeBlock && bytes <= static_cast<std::size_t>(-1) - kHugePageBytes) {
        const std::size_t rounded = wholeHugePages(bytes);
        block = std::aligned_alloc(kHugePageBytes, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        // Only a hint: where huge pages are unavailable the block works as it is.
        if (block != nullptr) {
            madvise(block, rounded, MADV_HUGEPAGE);
        }
#endif
    } else {
        block = std::malloc(bytes > 0 ? bytes : 1);
    }
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void CHugePageMemory::releaseFresh(void* block) noexcept
{
    std::free(block);
}
