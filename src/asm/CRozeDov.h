#pragma once

#include "asm/CAsm.h"

// The Vorn driver: creates the target's modules and lays out its sections.
class CRozeDov : public CAsm {
public:
    using CAsm::CAsm;

    void init(CAsm* driver) override;
    void layout() override;
    int fixupKind(const std::vector<CStatement*>& cycle, const CSection& section) override;
};
