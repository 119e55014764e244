#pragma once

#include <string>
#include <string_view>
#include <vector>

// Suggestions for misspelt names ("did you mean 'jmpnz'?").
class CSpelling {
public:
    // A candidate that differs from `word` in letter case only; else the
    // candidate closest to it (letters compared without case), when it is at
    // most a third of the word's length (and at least one edit) away; empty
    // otherwise. The word itself is never suggested.
    static std::string closest(std::string_view word, const std::vector<std::string>& candidates);

    // The number of single-character insertions, deletions, substitutions
    // and swaps of neighbours between the two, letters compared without case.
    static std::size_t editDistance(std::string_view a, std::string_view b);
};
