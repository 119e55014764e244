#pragma once

#include <iosfwd>
#include <sstream>

// Holds back what is written to standard output while alive, to be printed
// or dropped later.
class CHeldOutput {
public:
    CHeldOutput();
    // Restores standard output; whatever is still held is dropped.
    ~CHeldOutput();
    CHeldOutput(const CHeldOutput&) = delete;
    CHeldOutput& operator=(const CHeldOutput&) = delete;

    // Restores standard output and, with `print`, writes what was held to it.
    // Only the first call has an effect.
    void release(bool print);

private:
    std::ostringstream m_held;
    std::streambuf* m_previous = nullptr;
};
