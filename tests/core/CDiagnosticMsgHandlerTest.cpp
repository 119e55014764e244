#include <gtest/gtest.h>

#include <string>

#include "asm/CCommonModules.h"
#include "asm/CFileIndexMap.h"
#include "support/TestSupport.h"
#include "asm/CDiagnosticMsgHandler.h"

using testsupport::captureRun;

namespace {

// A diagnostics handler wired to a file index map that knows prog.s (0)
// and inc/defs.inc (1).
class Diagnostics : public testing::Test {
protected:
    Diagnostics() : m_common(0, nullptr)
    {
        m_common.m_common = &m_common;
        m_common.m_fileIndexMap = std::make_unique<CFileIndexMap>();
        m_common.m_fileIndexMap->getIndex("prog.s");
        m_common.m_fileIndexMap->getIndex("inc/defs.inc");
        m_diag.m_common = &m_common;
    }

    CCommonModules m_common;
    CDiagnosticMsgHandler m_diag;
};

struct FormatCase {
    const char* label;
    std::function<void(CDiagnosticMsgHandler&)> report;
    std::string printed;
};

TEST_F(Diagnostics, EveryKindIsFormattedAndFollowedByAnEmptyLine)
{
    const FormatCase cases[] = {
        {"errorWithPosition", [](auto& d) { d.reportError(1304, 12, 0, ""); },
         "Error in \"prog.s\", line 12: error #1304: Syntax error.\n\n"},
        {"errorInIncludedFile", [](auto& d) { d.reportError(1312, 3, 1, ""); },
         "Error in \"inc/defs.inc\", line 3: error #1312: Wrong symbol usage in the expression.\n\n"},
        {"parameter", [](auto& d) { d.reportError(1315, 7, 0, "loop"); },
         "Error in \"prog.s\", line 7: error #1315: Referencing undefined symbol loop.\n\n"},
        {"noPosition", [](auto& d) { d.reportError(1316, -1, -1, "out/x.txt"); },
         "Error in error #1316: Failed to open output file out/x.txt.\n\n"},
        {"fileWithoutLine", [](auto& d) { d.reportError(1305, -1, 0, ""); },
         "Error in \"prog.s\"error #1305: Unrecognized token.\n\n"},
        {"unknownFileIndex", [](auto& d) { d.reportError(1304, 2, 9, ""); },
         "Error in \"\", line 2: error #1304: Syntax error.\n\n"},
        {"unknownCode", [](auto& d) { d.reportError(999, 1, 0, "x"); }, "Error in \"prog.s\", line 1: error #999: \n\n"},
        {"warning", [](auto& d) { d.reportWarning(1, ""); }, "Warning in warning #1: Some is bad in opcode\n\n"},
        {"warningSizes", [](auto& d) { d.reportWarning(2, ""); },
         "Warning in warning #2: Some is bad in opcode sizes\n\n"},
        {"warning4000", [](auto& d) { d.reportWarning(4000, ""); }, "Warning in warning #4000: Some warning.\n\n"},
        {"info", [](auto& d) { d.reportInfo(7000, ""); }, "Info in info #7000: Some info.\n\n"},
        {"text", [](auto& d) { d.reportText("Wrong key id in rule definition string."); },
         "Error in error: Wrong key id in rule definition string.\n\n"},
        {"textIsNotAFormat", [](auto& d) { d.reportText("100%s done"); }, "Error in error: 100%s done\n\n"},
    };
    for (const FormatCase& c : cases) {
        CDiagnosticMsgHandler diag;
        diag.m_common = &m_common;
        const auto result = captureRun([&] { c.report(diag); });
        EXPECT_EQ(result.output, c.printed) << c.label;
        EXPECT_EQ(diag.reported().size(), 1u) << c.label;
    }
}

TEST_F(Diagnostics, LongParameterIsSubstitutedWhole)
{
    const std::string name(5000, 'q');
    const auto result = captureRun([&] { m_diag.reportError(1315, 1, 0, name); });
    EXPECT_EQ(result.output,
              "Error in \"prog.s\", line 1: error #1315: Referencing undefined symbol " + name + ".\n\n");
}

TEST_F(Diagnostics, CheckStopsOnlyAfterAReport)
{
    EXPECT_EQ(captureRun([&] { m_diag.check(); }).status, 0);
    const auto afterWarning = captureRun([&] {
        m_diag.reportWarning(1, "");
        m_diag.check();
    });
    EXPECT_EQ(afterWarning.status, 1);
    // Nothing clears the reported list: every later check stops again.
    EXPECT_EQ(captureRun([&] { m_diag.check(); }).status, 1);
}

TEST_F(Diagnostics, InfoAloneStopsTheRun)
{
    const auto result = captureRun([&] {
        m_diag.reportInfo(7000, "");
        m_diag.check();
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Info in info #7000: Some info.\n\n");
}

TEST_F(Diagnostics, MessagesArePrintedInReportOrder)
{
    const auto result = captureRun([&] {
        m_diag.reportError(1304, 2, 0, "");
        m_diag.reportError(1304, 5, 1, "");
        m_diag.check();
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n"
              "Error in \"inc/defs.inc\", line 5: error #1304: Syntax error.\n\n");
    ASSERT_EQ(m_diag.reported().size(), 2u);
    EXPECT_EQ(m_diag.reported()[1].line, 5);
    EXPECT_EQ(m_diag.reported()[1].fileIndex, 1);
}

}  // namespace
