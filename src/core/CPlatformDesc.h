#pragma once

#include <cstdint>
#include <string>


// What the target's words look like: its name, the width of a machine word
// and of a host byte.
class CPlatformDesc {
public:
    virtual ~CPlatformDesc() = default;

    virtual const std::string& getPlatformName() const { return m_name; }
    virtual std::int32_t getWordBits(const std::string& sectionName) const;
    // Host bytes one word of the section takes: word bits / host byte bits, rounded up.
    virtual std::int32_t getNumOfHostBytes(const std::string& sectionName) const;

    std::string m_name;
    std::int32_t m_wordBits = 8;
    std::int32_t m_hostByteBits = 8;
};
