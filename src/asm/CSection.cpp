#include "asm/CSection.h"

#include "parser/CStatement.h"

CSection::CSection() = default;
CSection::~CSection() = default;
