#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/CDiagnostic.h"
#include "core/CSourcePos.h"
#include "lexer/CVornLexer.h"

class CFileIndexMap;

// Maps the preprocessed text back to the files as the user wrote them. The
// preprocessor collapses blanks, removes comments and expands macros, but
// keeps lines: its line markers say which file and line each line of its
// output comes from. For a place in a line, the map reads that line of the
// user's file, matches its tokens in order with the preprocessed ones and
// takes the user's column. A token that a macro made gets the place of the
// macro's use. Where the user's file is not given, or its line does not hold
// the same tokens, places fall back to the line as preprocessed.
class CSourceMap {
public:
    // Lines before the first line marker belong to `firstFile`. Names of line
    // markers are interned in `files`; `originals` must outlive the map.
    CSourceMap(std::string_view preprocessed, CFileIndexMap& files, std::int32_t firstFile,
               const CSourceTexts& originals);

    // The place of the bytes [offset, offset + length) of the preprocessed
    // text; no place for an offset beyond it.
    CLocation locate(std::size_t offset, std::size_t length) const;
    // Gives a diagnostic and its notes the places of the bytes they point
    // at, the lines to show, and a note with the expanded line where a
    // macro made the token.
    void place(CDiagnostic& diagnostic) const;

    // The files the line markers of a preprocessed text name for lines that
    // hold anything, each once, in order; not the preprocessor's own
    // ("<built-in>", "<command-line>").
    static std::vector<std::string> markedFiles(std::string_view preprocessed);

private:
    // One line of the preprocessed text and where it comes from.
    struct Line {
        std::size_t start;
        std::int32_t fileIndex;
        std::int32_t line;
        std::int32_t sourceLine;  // see CLocation::sourceLine
    };
    // A user's file: its text, the text as the preprocessor reads it (C
    // comments blanked out, so columns stay), and where its lines begin.
    struct Original {
        std::string_view text;
        std::string uncommented;
        std::vector<std::size_t> lineStarts;
    };
    // A token of a line: where it stands, and whether it is a word (which a
    // macro may stand for).
    struct Token {
        std::size_t offset;
        std::size_t length;
        bool word;
    };
    // Preprocessed bytes [from, to) of the line come from the user's bytes
    // [userFrom, userTo), made by a macro or not.
    struct Piece {
        std::size_t from;
        std::size_t to;
        std::size_t userFrom;
        std::size_t userTo;
        bool expanded;
    };
    // How one preprocessed line matches the user's line.
    struct Alignment {
        std::size_t lineIndex = static_cast<std::size_t>(-1);
        bool matched = false;  // false: places count in the preprocessed line
        std::string_view userLine;
        std::vector<Piece> pieces;
    };

    void indexLines(std::string_view preprocessed, CFileIndexMap& files, std::int32_t firstFile);
    std::string_view preprocessedLine(std::size_t index) const;
    // The user's line, as written and as the preprocessor reads it; false
    // when the file or the line is not there.
    bool userLine(std::int32_t fileIndex, std::int32_t line, std::string_view& written,
                  std::string_view& read) const;
    Original* original(std::int32_t fileIndex) const;
    const Alignment& alignmentOf(std::size_t lineIndex) const;
    bool align(std::string_view line, std::string_view userRead, std::vector<Piece>& pieces) const;
    // The quick match for lines that differ in blanks and comments only.
    static bool alignBlanks(std::string_view line, std::string_view userRead, std::vector<Piece>& pieces);
    void tokensOf(std::string_view line, std::vector<Token>& tokens) const;
    // The first piece that ends after `point` (the one that holds it, or the next).
    static std::vector<Piece>::const_iterator pieceFrom(const std::vector<Piece>& pieces, std::size_t point);
    // A point of the preprocessed line as a point of the user's line.
    std::size_t userPoint(const Alignment& alignment, std::size_t point, bool end) const;

    std::string_view m_text;
    std::vector<Line> m_lines;
    const CSourceTexts* m_originals;
    const CFileIndexMap* m_files;
    mutable std::map<std::int32_t, Original> m_read;
    mutable Alignment m_alignment;
    mutable CVornLexer m_lexer;
    mutable std::vector<Token> m_tokens;
    mutable std::vector<Token> m_userTokens;
};
