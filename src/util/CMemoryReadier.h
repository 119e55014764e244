#pragma once

#include <cstddef>

#include "util/CHugePageMemory.h"

// Memory readied ahead of use by a background thread, which takes it from the
// system and touches every page, so that the kernel's faulting and zeroing run
// in time no other thread wants (while the parse waits for the preprocessor)
// instead of in the middle of the work. It readies two kinds, in this order:
// an arena from which large buffers are cut (the output texts after the parse
// need them most), then whole chunks for the small-object pool. Readying is a
// favour: when memory or a thread is lacking, callers simply get memory of
// their own.
class CMemoryReadier {
public:
    // Chunks are one huge page each.
    static constexpr std::size_t kChunkBytes = CHugePageMemory::kHugePageBytes;

    // Starts readying an arena of about `arenaBytes` and `chunkBytes` of
    // chunks; small amounts do nothing. A readying still at work is ended
    // first. The arena is replaced only once none of its blocks is in use.
    static void start(std::size_t arenaBytes, std::size_t chunkBytes);
    // A readied chunk, or null when none is ready.
    static void* takeChunk();
    // Ends the readying and frees the chunks never taken. The arena stays for
    // the buffers still to come (its pages not yet touched are faulted by
    // their users) until its last block is given back.
    static void stop();

    // A block of `bytes` (rounded up to whole chunks) from the arena, or null
    // when the arena's readied part lacks the room.
    static void* takeArenaBlock(std::size_t bytes);
    // Gives back a block of the arena and returns true; false for any other block.
    static bool releaseArenaBlock(void* block) noexcept;
};
