#include "util/CFileBuffer.h"

CFileBuffer::CFileBuffer(std::string_view text) : m_data(text.begin(), text.end()) {}

void CFileBuffer::append(std::string_view text)
{
    // As bytes, so the insertion is one block copy.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    m_data.insert(m_data.end(), bytes, bytes + text.size());
}

std::string_view CFileBuffer::text() const
{
    return {reinterpret_cast<const char*>(m_data.data()), m_data.size()};
}
