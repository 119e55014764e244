#include "core/CSection.h"

#include "core/CStatement.h"

CSection::CSection() = default;
CSection::~CSection() = default;
