#include "core/CFileIndexMap.h"

int CFileIndexMap::getIndex(const std::string& name)
{
    auto found = m_nameToIndex.find(name);
    if (found != m_nameToIndex.end()) {
        return found->second;
    }
    const int index = static_cast<int>(m_nameToIndex.size());
    m_nameToIndex.emplace(name, index);
    m_indexToName.emplace(index, name);
    return index;
}

std::string CFileIndexMap::getName(int index) const
{
    auto found = m_indexToName.find(index);
    return found == m_indexToName.end() ? std::string() : found->second;
}

std::vector<std::string> CFileIndexMap::names() const
{
    std::vector<std::string> all;
    for (const auto& [index, name] : m_indexToName) {
        all.push_back(name);
    }
    return all;
}
