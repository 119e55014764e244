#pragma once

#include <cstdint>

#include "asm/CProgramModule.h"

class CFileBuffer;

// Generic rule-driven parser (stub until the front end lands).
class CParser : public CProgramModule {
public:
    CFileBuffer* m_input = nullptr;
    std::int32_t m_fileIndex = 0;
};
