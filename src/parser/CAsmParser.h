#pragma once

#include "parser/CParser.h"

class CAsmParser : public CParser {};
