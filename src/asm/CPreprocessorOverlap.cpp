#include "asm/CPreprocessorOverlap.h"

#include <iostream>

#include "asm/CAsmPreprocessor.h"

CPreprocessorOverlap::CPreprocessorOverlap(CAsmPreprocessor& preprocessor)
    : m_preprocessor(&preprocessor),
      m_tail(CAsmPreprocessor::kOutputFile, [this] { return m_preprocessor->hasEnded(); })
{
    m_input.m_more = [this](CFileBuffer& buffer) { return m_tail.appendMore(buffer); };
}

CPreprocessorOverlap::~CPreprocessorOverlap()
{
    if (m_held) {
        settle();
        CProgramExit::setHandler(std::move(m_previousHandler));
    }
}

bool CPreprocessorOverlap::start()
{
    if (!m_preprocessor->start()) {
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
    m_held->release(*m_outcome == Succeeded);
    if (*m_outcome == Unreadable) {
        reportUnreadable();
    }
    return *m_outcome;
}

void CPreprocessorOverlap::reportUnreadable()
{
    std::cout << "Error: Cannot read the preprocessed file " << CAsmPreprocessor::kOutputFile << "." << std::endl;
}
