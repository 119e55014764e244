#include "lexer/CSourceMap.h"

#include <algorithm>
#include <limits>

#include "core/CFileIndexMap.h"
#include "util/CFileBuffer.h"
#include "util/TextLine.h"

namespace {

bool isWordStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}

// The text with its C comments (the preprocessor's: "/* */" across lines,
// and "//" to the end of a line) blanked out; line feeds stay, so every byte
// keeps its line and column.
std::string uncommented(std::string_view text)
{
    std::string result(text);
    for (std::size_t i = 0; i + 1 < result.size(); ++i) {
        if (result[i] != '/' || (result[i + 1] != '*' && result[i + 1] != '/')) {
            continue;
        }
        const bool block = result[i + 1] == '*';
        std::size_t end = block ? result.find("*/", i + 2) : result.find('\n', i);
        end = end == std::string::npos ? result.size() : end + (block ? 2 : 0);
        for (std::size_t j = i; j < end; ++j) {
            if (result[j] != '\n') {
                result[j] = ' ';
            }
        }
        i = end - 1;
    }
    return result;
}

// Reads the line marker a line (its line feed included) holds, in the shape
// the parser reads: false when it holds none.
bool readMarker(CVornLexer& lexer, std::string_view line, CToken& marker)
{
    if (line.substr(0, 2) != "# ") {
        return false;
    }
    CFileBuffer buffer(line);
    lexer.start(&buffer);
    lexer.scanToken(marker);
    lexer.start(nullptr);
    return marker.m_id == TOK_LINE_MARKER;
}

// Whether a marker names a file of the user's, not one of the
// preprocessor's own ("<built-in>", "<command-line>").
bool namesUserFile(const CToken& marker)
{
    return marker.m_text.empty() || marker.m_text.front() != '<';
}

constexpr const char* kExpansionNote = "after macro expansion the line reads: ";

// The line without the blanks around it.
std::string_view trimmed(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

}  // namespace

CSourceMap::CSourceMap(std::string_view preprocessed, CFileIndexMap& files, std::int32_t firstFile,
                       const CSourceTexts& originals)
    : m_text(preprocessed), m_originals(&originals), m_files(&files)
{
    m_lexer.m_tolerant = true;
    indexLines(preprocessed, files, firstFile);
}

// The same rules as the parser's: a line marker gives the next line its
// number and, unless the name begins with "<", its file.
void CSourceMap::indexLines(std::string_view preprocessed, CFileIndexMap& files, std::int32_t firstFile)
{
    std::int32_t fileIndex = firstFile;
    std::int32_t line = 0;
    // An included file's lines stand under the source's line that was
    // current when it was entered: the #include's.
    std::int32_t sourceLine = -1;
    CToken marker;
    for (std::size_t start = 0; start <= preprocessed.size();) {
        if (fileIndex == firstFile) {
            sourceLine = line;
        }
        m_lines.push_back({start, fileIndex, line, sourceLine});
        const std::size_t end = preprocessed.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? preprocessed.size() : end + 1;
        if (readMarker(m_lexer, preprocessed.substr(start, next - start), marker)) {
            line = marker.m_value - 1;
            if (namesUserFile(marker)) {
                fileIndex = files.getIndex(marker.m_text);
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
        // Saturating, as the parser counts: a marker may start near the limit.
        if (line < std::numeric_limits<std::int32_t>::max()) {
            ++line;
        }
    }
}

std::vector<std::string> CSourceMap::markedFiles(std::string_view preprocessed)
{
    std::vector<std::string> names;
    CVornLexer lexer;
    lexer.m_tolerant = true;
    std::string current;
    bool named = false;
    CToken marker;
    for (std::size_t start = 0; start < preprocessed.size();) {
        std::size_t end = preprocessed.find('\n', start);
        end = end == std::string_view::npos ? preprocessed.size() : end + 1;
        const std::string_view line = preprocessed.substr(start, end - start);
        start = end;
        if (readMarker(lexer, line, marker)) {
            if (namesUserFile(marker)) {
                current = marker.m_text;
                named = true;
            }
            continue;
        }
        // Only files that lines of the text come from.
        if (named && line.find_first_not_of(" \t\r\n") != std::string_view::npos &&
            std::find(names.begin(), names.end(), current) == names.end()) {
            names.push_back(current);
        }
    }
    return names;
}

std::string_view CSourceMap::preprocessedLine(std::size_t index) const
{
    return TextLine::around(m_text, m_lines[index].start);
}

CSourceMap::Original* CSourceMap::original(std::int32_t fileIndex) const
{
    if (const auto found = m_read.find(fileIndex); found != m_read.end()) {
        return &found->second;
    }
    const auto given = m_originals->find(m_files->getName(fileIndex));
    if (given == m_originals->end()) {
        return nullptr;
    }
    Original& read = m_read[fileIndex];
    read.text = given->second;
    read.uncommented = uncommented(read.text);
    read.lineStarts.push_back(0);
    for (std::size_t at = read.text.find('\n'); at != std::string_view::npos; at = read.text.find('\n', at + 1)) {
        read.lineStarts.push_back(at + 1);
    }
    return &read;
}

bool CSourceMap::userLine(std::int32_t fileIndex, std::int32_t line, std::string_view& written,
                          std::string_view& read) const
{
    const Original* file = original(fileIndex);
    if (file == nullptr || line < 1 || static_cast<std::size_t>(line) > file->lineStarts.size()) {
        return false;
    }
    const std::size_t start = file->lineStarts[static_cast<std::size_t>(line) - 1];
    written = TextLine::around(file->text, start);
    read = std::string_view(file->uncommented).substr(start, written.size());
    return true;
}

void CSourceMap::tokensOf(std::string_view line, std::vector<Token>& tokens) const
{
    tokens.clear();
    CFileBuffer buffer(line);
    m_lexer.start(&buffer);
    CToken token;
    for (;;) {
        m_lexer.scanToken(token);
        if (token.m_id == TOK_END || token.m_id == TOK_NEWLINE) {
            return;
        }
        if (token.m_id != TOK_COMMENT) {
            tokens.push_back({token.m_offset, token.m_length, isWordStart(line[token.m_offset])});
        }
    }
}

// line = blank* (run blank+)* run? blank*, the runs of non-blank bytes the
// same in both lines: the preprocessor changed only blanks and comments (the
// user's line is read with its comments blanked out). It never joins two
// tokens, so the runs' tokens are the same tokens.
bool CSourceMap::alignBlanks(std::string_view line, std::string_view userRead, std::vector<Piece>& pieces)
{
    pieces.clear();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        while (i < line.size() && blank(line[i])) {
            ++i;
        }
        while (j < userRead.size() && blank(userRead[j])) {
            ++j;
        }
        if (i == line.size() || j == userRead.size()) {
            return i == line.size() && j == userRead.size();
        }
        const std::size_t from = i;
        const std::size_t userFrom = j;
        while (i < line.size() && j < userRead.size() && !blank(line[i]) && line[i] == userRead[j]) {
            ++i;
            ++j;
        }
        // A run must end in both lines at once.
        const bool lineEnds = i == line.size() || blank(line[i]);
        const bool userEnds = j == userRead.size() || blank(userRead[j]);
        if (i == from || !lineEnds || !userEnds) {
            return false;
        }
        pieces.push_back({from, i, userFrom, j, false});
    }
}

// line = (same-token | macro-use)*, in order: a token spelled alike in both
// lines is the same token; a word of the user's line that is not (with its
// parenthesised arguments) made the preprocessed tokens up to the next token
// that is the same again.
bool CSourceMap::align(std::string_view line, std::string_view userRead, std::vector<Piece>& pieces) const
{
    tokensOf(line, m_tokens);
    tokensOf(userRead, m_userTokens);
    const std::vector<Token>& made = m_tokens;
    const std::vector<Token>& user = m_userTokens;
    auto spelled = [](std::string_view text, const Token& token) { return text.substr(token.offset, token.length); };
    auto same = [&](std::size_t j, std::size_t i) { return spelled(line, made[j]) == spelled(userRead, user[i]); };
    pieces.clear();
    std::size_t i = 0;
    std::size_t j = 0;
    while (j < made.size()) {
        if (i < user.size() && same(j, i)) {
            pieces.push_back({made[j].offset, made[j].offset + made[j].length, user[i].offset,
                              user[i].offset + user[i].length, false});
            ++i;
            ++j;
            continue;
        }
        if (i >= user.size() || !user[i].word) {
            return false;
        }
        // The macro's use: its name, and its arguments when a "(" follows.
        std::size_t useEnd = i + 1;
        if (useEnd < user.size() && spelled(userRead, user[useEnd]) == "(") {
            int depth = 0;
            for (; useEnd < user.size(); ++useEnd) {
                const std::string_view text = spelled(userRead, user[useEnd]);
                depth += text == "(" ? 1 : text == ")" ? -1 : 0;
                if (depth == 0) {
                    ++useEnd;
                    break;
                }
            }
        }
        std::size_t resume = made.size();
        if (useEnd < user.size()) {
            for (resume = j; resume < made.size() && !same(resume, useEnd); ++resume) {
            }
            if (resume == made.size()) {
                return false;
            }
        }
        const std::size_t userFrom = user[i].offset;
        const std::size_t userTo = user[useEnd - 1].offset + user[useEnd - 1].length;
        for (; j < resume; ++j) {
            pieces.push_back({made[j].offset, made[j].offset + made[j].length, userFrom, userTo, true});
        }
        i = useEnd;
    }
    return true;
}

const CSourceMap::Alignment& CSourceMap::alignmentOf(std::size_t lineIndex) const
{
    if (m_alignment.lineIndex == lineIndex) {
        return m_alignment;
    }
    m_alignment.lineIndex = lineIndex;
    m_alignment.pieces.clear();
    const std::string_view line = preprocessedLine(lineIndex);
    std::string_view written;
    std::string_view read;
    m_alignment.matched = userLine(m_lines[lineIndex].fileIndex, m_lines[lineIndex].line, written, read) &&
                          (written == line || alignBlanks(line, read, m_alignment.pieces) ||
                           align(line, read, m_alignment.pieces));
    m_alignment.userLine = m_alignment.matched ? written : line;
    if (m_alignment.matched && written == line) {
        m_alignment.pieces.push_back({0, line.size(), 0, line.size(), false});
    }
    return m_alignment;
}

std::vector<CSourceMap::Piece>::const_iterator CSourceMap::pieceFrom(const std::vector<Piece>& pieces,
                                                                     std::size_t point)
{
    return std::upper_bound(pieces.begin(), pieces.end(), point,
                            [](std::size_t p, const Piece& piece) { return p < piece.to; });
}

std::size_t CSourceMap::userPoint(const Alignment& alignment, std::size_t point, bool end) const
{
    if (!alignment.matched) {
        return point;
    }
    const std::vector<Piece>& pieces = alignment.pieces;
    const auto after = pieceFrom(pieces, point);
    if (after != pieces.end() && point >= after->from && !(end && point == after->from)) {
        if (after->expanded) {
            return end ? after->userTo : after->userFrom;
        }
        return std::min(after->userFrom + (point - after->from), after->userTo);
    }
    // Between two tokens that one macro use made: the use itself.
    if (after != pieces.begin() && after != pieces.end()) {
        const Piece& previous = *(after - 1);
        if (previous.expanded && after->expanded && previous.userFrom == after->userFrom) {
            return end ? previous.userTo : previous.userFrom;
        }
    }
    // Between tokens: as far from the token before as in the preprocessed line.
    const std::size_t limit = after != pieces.end() ? after->userFrom : alignment.userLine.size();
    if (after == pieces.begin()) {
        const std::size_t before = after != pieces.end() ? after->from - std::min(point, after->from) : 0;
        return after != pieces.end() ? limit - std::min(before, limit) : std::min(point, limit);
    }
    const Piece& previous = *(after - 1);
    return std::min(previous.userTo + (point - std::min(point, previous.to)), limit);
}

CLocation CSourceMap::locate(std::size_t offset, std::size_t length) const
{
    CLocation location;
    if (m_lines.empty() || offset > m_text.size()) {
        return location;
    }
    const auto next = std::upper_bound(m_lines.begin(), m_lines.end(), offset,
                                       [](std::size_t at, const Line& line) { return at < line.start; });
    const std::size_t index = static_cast<std::size_t>(next - m_lines.begin()) - 1;
    const Line& line = m_lines[index];
    const Alignment& alignment = alignmentOf(index);
    const std::size_t lineLength = preprocessedLine(index).size();
    const std::size_t from = std::min(offset - line.start, lineLength);
    const std::size_t to = std::min(from + length, lineLength);
    const std::size_t userFrom = userPoint(alignment, from, false);
    const std::size_t userTo = std::max(userPoint(alignment, to, true), userFrom);
    location.pos = {line.fileIndex, line.line, static_cast<std::int32_t>(userFrom + 1),
                    static_cast<std::int32_t>(length == 0 ? 0 : std::max<std::size_t>(userTo - userFrom, 1))};
    location.echo = alignment.userLine;
    location.sourceLine = line.sourceLine;
    if (alignment.matched) {
        const auto piece = pieceFrom(alignment.pieces, from);
        if (piece != alignment.pieces.end() && from >= piece->from && piece->expanded) {
            location.expansion = preprocessedLine(index);
        }
    }
    return location;
}

void CSourceMap::place(CDiagnostic& diagnostic) const
{
    if (diagnostic.span.offset != CTextSpan::kNone) {
        const CLocation location = locate(diagnostic.span.offset, diagnostic.span.length);
        diagnostic.pos = location.pos;
        diagnostic.echo = location.echo;
        if (!location.expansion.empty()) {
            CDiagnosticNote note;
            note.pos = {location.pos.fileIndex, location.pos.line, 0, 0};
            note.text = std::string(kExpansionNote) + std::string(trimmed(location.expansion));
            diagnostic.notes.insert(diagnostic.notes.begin(), std::move(note));
        }
    }
    for (CDiagnosticNote& note : diagnostic.notes) {
        if (note.span.offset != CTextSpan::kNone) {
            const CLocation location = locate(note.span.offset, note.span.length);
            note.pos = location.pos;
            note.echo = location.echo;
        }
    }
}
