#include "emitter/CAnnotatedListing.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/CSection.h"
#include "core/CVornOpcodeInfo.h"
#include "util/NumberFormat.h"

namespace {
// The word columns and their widths; they are separated by kGap.
constexpr std::size_t kSectionWidth = 5;
constexpr std::size_t kAddressWidth = 5;
constexpr std::size_t kBitsWidth = 18;
constexpr int kHexDigits = 4;
constexpr std::string_view kGap = "  ";

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void pad(std::string& out, std::size_t from, std::size_t width)
{
    if (out.size() < from + width) {
        out.append(from + width - out.size(), ' ');
    }
}

// Writes the lines in the order of the words, filling in the source lines
// between them.
class Writer {
public:
    Writer(const CAssemblyResult& result, const CSourceTexts& originals) : m_result(&result)
    {
        for (const std::string& name : result.files) {
            const auto found = originals.find(name);
            m_lines.push_back(found != originals.end() ? splitLines(found->second) : std::vector<std::string_view>());
        }
        m_locationWidth = widestLocation();
    }

    std::string run()
    {
        for (const CSectionWords& section : m_result->sections) {
            const bool data = section.kind == CSection::Data || section.kind == CSection::ReadOnlyData;
            for (const CWord& word : section.words) {
                placeWord(word);
                writeWord(data, word);
            }
        }
        flushSourceTo(sourceLines().size());
        return std::move(m_out);
    }

private:
    static constexpr int kSource = 0;  // the source's file index

    const std::vector<std::string_view>& sourceLines() const
    {
        static const std::vector<std::string_view> kNone;
        return m_lines.empty() ? kNone : m_lines[kSource];
    }

    // Writes the source's wordless lines that come before the word: a word
    // of the source comes after the lines above its own, a word of an
    // included file after the #include that brought it in.
    void placeWord(const CWord& word)
    {
        if (word.sourceLine <= 0) {
            return;
        }
        const auto line = static_cast<std::size_t>(word.sourceLine);
        flushSourceTo(word.pos.fileIndex == kSource ? line - 1 : line);
    }

    // Writes the source's lines from the next one through `last` (1-based).
    void flushSourceTo(std::size_t last)
    {
        for (; m_nextLine <= last && m_nextLine <= sourceLines().size(); ++m_nextLine) {
            m_out.append(kSectionWidth + kAddressWidth + kBitsWidth + kHexDigits + 4 * kGap.size(), ' ');
            writeSource({kSource, static_cast<std::int32_t>(m_nextLine), 0, 0});
        }
    }

    void writeWord(bool data, const CWord& word)
    {
        const std::size_t start = m_out.size();
        m_out += data ? ".data" : ".text";
        pad(m_out, start, kSectionWidth);
        m_out += kGap;
        const std::string address = std::to_string(word.address);
        m_out.append(address.size() < kAddressWidth ? kAddressWidth - address.size() : 0, ' ');
        m_out += address;
        m_out += kGap;
        const std::size_t bits = m_out.size();
        m_out += CVornOpcodeInfo::fieldBits(word.value, data);
        pad(m_out, bits, kBitsWidth);
        m_out += kGap;
        NumberFormat::AppendHexDigits(m_out, word.value, kHexDigits);
        m_out += kGap;
        writeSource(word.pos);
        if (word.pos.fileIndex == kSource && word.pos.line > 0) {
            m_nextLine = std::max(m_nextLine, static_cast<std::size_t>(word.pos.line) + 1);
        }
    }

    // "file:line", padded, then the line as written.
    void writeSource(const CSourcePos& pos)
    {
        const std::size_t start = m_out.size();
        m_out += location(pos);
        const std::string_view line = lineAt(pos);
        if (!line.empty()) {
            pad(m_out, start, m_locationWidth);
            m_out += kGap;
            m_out += line;
        }
        m_out += '\n';
    }

    std::string location(const CSourcePos& pos) const
    {
        if (!pos.known() || static_cast<std::size_t>(pos.fileIndex) >= m_result->files.size()) {
            return {};
        }
        return m_result->files[static_cast<std::size_t>(pos.fileIndex)] + ":" + std::to_string(pos.line);
    }

    std::string_view lineAt(const CSourcePos& pos) const
    {
        if (!pos.known() || static_cast<std::size_t>(pos.fileIndex) >= m_lines.size()) {
            return {};
        }
        const std::vector<std::string_view>& lines = m_lines[static_cast<std::size_t>(pos.fileIndex)];
        return pos.line >= 1 && static_cast<std::size_t>(pos.line) <= lines.size()
                   ? lines[static_cast<std::size_t>(pos.line) - 1]
                   : std::string_view();
    }

    std::size_t widestLocation() const
    {
        std::size_t widest = location({kSource, static_cast<std::int32_t>(sourceLines().size()), 0, 0}).size();
        for (const CSectionWords& section : m_result->sections) {
            for (const CWord& word : section.words) {
                widest = std::max(widest, location(word.pos).size());
            }
        }
        return widest;
    }

    const CAssemblyResult* m_result;
    std::vector<std::vector<std::string_view>> m_lines;  // by file index
    std::string m_out;
    std::size_t m_nextLine = 1;  // the source's next line to write
    std::size_t m_locationWidth = 0;
};
}  // namespace

std::string CAnnotatedListing::write(const CAssemblyResult& result, const CSourceTexts& originals)
{
    return Writer(result, originals).run();
}
