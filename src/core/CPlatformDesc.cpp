#include "core/CPlatformDesc.h"

#include <cmath>

std::int32_t CPlatformDesc::getWordBits(const std::string& /*sectionName*/) const
{
    return m_wordBits;
}

std::int32_t CPlatformDesc::getNumOfHostBytes(const std::string& sectionName) const
{
    if (m_hostByteBits <= 0) {
        return 0;  // no meaningful answer; avoids a division by zero
    }
    const float bytes = static_cast<float>(getWordBits(sectionName)) / static_cast<float>(m_hostByteBits);
    return static_cast<std::int32_t>(std::ceil(bytes));
}
