#include "asm/CPreprocessorOverlap.h"

#include <iostream>

#include "asm/CAsmPreprocessor.h"

CPreprocessorOverlap::CPreprocessorOverlap(CAsmPreprocessor& preprocessor, const std::string& path)
    : m_preprocessor(&preprocessor), m_path(path), m_tail(path, [this] { return m_preprocessor->hasEnded(); })
{
    m_input.m_more = [this](CFileBuffer& buffer) { return m_tail.appendMore(buffer); };
}

CPreprocessorOverlap::~CPreprocessorOverlap()
{
    settle();
    if (m_handlerInstalled) {
        CProgramExit::setHandler(std::move(m_previousHandler));
    }
}

bool CPreprocessorOverlap::start()
{
    if (!m_preprocessor->start()) {
        // Nothing runs, so there is nothing to settle.
        m_outcome = PreprocessorFailed;
        return false;
    }
    m_held.emplace();
    // A stop during the parse waits for the preprocessor first, then goes on
    // as it would have.
    m_previousHandler = CProgramExit::setHandler([this](int status) {
        settle();
        if (m_previousHandler) {
            m_previousHandler(status);
        }
    });
    m_handlerInstalled = true;
    return true;
}

CPreprocessorOverlap::Outcome CPreprocessorOverlap::settle()
{
    if (m_outcome) {
        return *m_outcome;
    }
    if (!m_preprocessor->waitForEnd()) {
        m_outcome = PreprocessorFailed;
    } else if (m_tail.failed()) {
        m_outcome = Unreadable;
    } else {
        m_outcome = Succeeded;
    }
    if (m_held) {
        m_held->release(*m_outcome == Succeeded);
    }
    if (*m_outcome == Unreadable) {
        reportUnreadable(m_path);
    }
    return *m_outcome;
}

void CPreprocessorOverlap::reportUnreadable(const std::string& path)
{
    std::cout << "Error: Cannot read the preprocessed file " << path << "." << std::endl;
}
