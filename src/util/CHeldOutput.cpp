#include "util/CHeldOutput.h"

#include <iostream>

CHeldOutput::CHeldOutput() : m_previous(std::cout.rdbuf(m_held.rdbuf())) {}

CHeldOutput::~CHeldOutput()
{
    release(false);
}

void CHeldOutput::release(bool print)
{
    if (m_previous == nullptr) {
        return;
    }
    std::cout.rdbuf(m_previous);
    m_previous = nullptr;
    if (print) {
        std::cout << m_held.view();
        std::cout.flush();
    }
    m_held.str({});
}
