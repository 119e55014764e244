#pragma once

#include <optional>

#include "asm/CFileBuffer.h"
#include "asm/CFileTail.h"
#include "util/CHeldOutput.h"
#include "util/CProgramExit.h"

class CAsmPreprocessor;

// Lets the parse read the preprocessed file while the preprocessor still
// writes it, so the two run side by side. Until the preprocessor has ended,
// everything printed is held back and a stop of the program first waits for
// it: a failing preprocessor still ends the run with status 1 and nothing
// printed, as if the parse had never begun.
class CPreprocessorOverlap {
public:
    enum Outcome { Succeeded, PreprocessorFailed, Unreadable };

    explicit CPreprocessorOverlap(CAsmPreprocessor& preprocessor);
    // Once started: settles, and gives stops back to the handler that was there before.
    ~CPreprocessorOverlap();
    CPreprocessorOverlap(const CPreprocessorOverlap&) = delete;
    CPreprocessorOverlap& operator=(const CPreprocessorOverlap&) = delete;

    // Starts the preprocessor; false, with nothing started, when it could not be.
    bool start();

    // The text for the parse: it grows as the preprocessor writes it.
    CFileBuffer& input() { return m_input; }

    // Once started: waits for the preprocessor and stops holding output
    // back, printing what was held only on success. The first call decides;
    // later ones return the same outcome.
    Outcome settle();

    // The message for a preprocessed file that cannot be read.
    static void reportUnreadable();

private:
    CAsmPreprocessor* m_preprocessor;
    CFileTail m_tail;
    CFileBuffer m_input;
    // Present from a successful start on.
    std::optional<CHeldOutput> m_held;
    std::optional<Outcome> m_outcome;
    CProgramExit::Handler m_previousHandler;
};
