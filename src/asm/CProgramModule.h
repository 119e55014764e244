#pragma once

class CAsm;
class CCommonModules;

// Base of every stage and shared module: a link to the shared modules and
// the three module operations the driver calls.
class CProgramModule {
public:
    virtual ~CProgramModule() = default;

    // Takes the shared modules from the driver when one is given.
    virtual void init(CAsm* driver);
    virtual void run() {}
    virtual void finish() {}

    CCommonModules* m_common = nullptr;
};
