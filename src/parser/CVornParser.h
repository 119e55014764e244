#pragma once

#include "parser/CAsmParser.h"

class CVornParser : public CAsmParser {};
