#pragma once

#include "core/CPlatformDesc.h"

// The Vorn processor: 15-bit instruction words in 8-bit host bytes.
class CVornPlatformDesc : public CPlatformDesc {
public:
    // Both memories, the instruction ROM and the data memory, hold 512 words.
    static constexpr std::int32_t kMemoryWords = 512;

    CVornPlatformDesc()
    {
        m_name = "vorn";
        m_wordBits = 15;
        m_hostByteBits = 8;
    }
};
