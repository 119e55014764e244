#pragma once

#include <map>
#include <string>
#include <vector>


// Gives every source file name met in the preprocessed text a small index,
// so statements and messages carry an index instead of a name.
class CFileIndexMap {
public:
    // The name's index, interning it (next dense index) when new.
    int getIndex(const std::string& name);
    // The name of an index, or an empty string for one never handed out.
    std::string getName(int index) const;
    // Every name, by index.
    std::vector<std::string> names() const;

private:
    std::map<int, std::string> m_indexToName;
    std::map<std::string, int> m_nameToIndex;
};
