#pragma once

#include "lexer/CPlatformDesc.h"

// The Vorn processor: 15-bit instruction words in 8-bit host bytes.
class CVornPlatformDesc : public CPlatformDesc {
public:
    CVornPlatformDesc()
    {
        m_name = "vorn";
        m_wordBits = 15;
        m_hostByteBits = 8;
    }
};
