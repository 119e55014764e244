#include "util/CSpelling.h"

#include <algorithm>
#include <cctype>

namespace {
bool sameLetter(char a, char b)
{
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}
}  // namespace

std::size_t CSpelling::editDistance(std::string_view a, std::string_view b)
{
    // The classic table, with two swapped neighbours counting as one edit.
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    auto cell = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * width + j]; };
    for (std::size_t i = 0; i <= a.size(); ++i) {
        cell(i, 0) = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        cell(0, j) = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = sameLetter(a[i - 1], b[j - 1]) ? 0 : 1;
            cell(i, j) = std::min({cell(i - 1, j) + 1, cell(i, j - 1) + 1, cell(i - 1, j - 1) + change});
            if (i > 1 && j > 1 && sameLetter(a[i - 1], b[j - 2]) && sameLetter(a[i - 2], b[j - 1])) {
                cell(i, j) = std::min(cell(i, j), cell(i - 2, j - 2) + 1);
            }
        }
    }
    return cell(a.size(), b.size());
}

std::string CSpelling::closest(std::string_view word, const std::vector<std::string>& candidates)
{
    const std::size_t allowed = std::max<std::size_t>(1, word.size() / 3);
    std::string best;
    std::size_t bestDistance = allowed + 1;
    // A name that differs in letter case only is the closest of all.
    for (const std::string& candidate : candidates) {
        if (candidate != word && editDistance(word, candidate) == 0) {
            return candidate;
        }
    }
    for (const std::string& candidate : candidates) {
        const std::size_t d = editDistance(word, candidate);
        if (d > 0 && d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}
