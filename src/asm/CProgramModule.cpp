#include "asm/CProgramModule.h"

#include "asm/CAsm.h"

void CProgramModule::init(CAsm* driver)
{
    if (driver != nullptr) {
        m_common = driver->m_common;
    }
}
