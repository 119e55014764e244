#pragma once

#include <string>
#include <string_view>
#include <vector>

// Suggestions for misspelt names ("did you mean 'jmpnz'?").
class CSpelling {
public:
    // The candidate closest to `word` (letters compared without case), when
    // it is at most a third of the word's length (and at least one edit)
    // away and not the word itself; empty otherwise.
    static std::string closest(std::string_view word, const std::vector<std::string>& candidates);

    // The number of single-character insertions, deletions, substitutions
    // and swaps of neighbours between the two, letters compared without case.
    static std::size_t editDistance(std::string_view a, std::string_view b);
};
