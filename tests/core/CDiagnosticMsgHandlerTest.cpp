#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/CAssemblyResult.h"
#include "core/CDiagnosticMsgHandler.h"
#include "support/InProcessAssembly.h"

// Places print as file:line:column+length in failures.
static void PrintTo(const CSourcePos& pos, std::ostream* os)
{
    *os << pos.fileIndex << ":" << pos.line << ":" << pos.column << "+" << pos.length;
}

namespace {

using testsupport::RunResult;

// What the program prints of the handler's messages, with prog.s (0) and
// inc/defs.inc (1) as the files.
RunResult printedBy(const CDiagnosticMsgHandler& diag)
{
    CAssemblyResult result;
    result.diagnostics = diag.diagnostics();
    result.report = diag.items();
    result.files = {"prog.s", "inc/defs.inc"};
    return testsupport::printed(result);
}

struct FormatCase {
    const char* label;
    std::function<void(CDiagnosticMsgHandler&)> report;
    std::string printed;
    std::string errors;
};

TEST(Diagnostics, EveryKindIsFormattedAndFollowedByAnEmptyLine)
{
    const FormatCase cases[] = {
        {"errorWithPosition", [](auto& d) { d.reportError(1304, 12, 0, ""); },
         "Error in \"prog.s\", line 12: error #1304: Syntax error.\n\n", "prog.s:12: error: Syntax error.\n"},
        {"errorInIncludedFile", [](auto& d) { d.reportError(1312, 3, 1, ""); },
         "Error in \"inc/defs.inc\", line 3: error #1312: Wrong symbol usage in the expression.\n\n",
         "inc/defs.inc:3: error: Wrong symbol usage in the expression.\n"},
        {"parameter", [](auto& d) { d.reportError(1315, 7, 0, "loop"); },
         "Error in \"prog.s\", line 7: error #1315: Referencing undefined symbol loop.\n\n",
         "prog.s:7: error: Referencing undefined symbol loop.\n"},
        {"noPosition", [](auto& d) { d.reportError(1316, -1, -1, "out/x.txt"); },
         "Error in error #1316: Failed to open output file out/x.txt.\n\n",
         "rozedov: error: Failed to open output file out/x.txt.\n"},
        {"fileWithoutLine", [](auto& d) { d.reportError(1305, -1, 0, ""); },
         "Error in \"prog.s\"error #1305: Unrecognized token.\n\n", "rozedov: error: Unrecognized token.\n"},
        {"unknownFileIndex", [](auto& d) { d.reportError(1304, 2, 9, ""); },
         "Error in \"\", line 2: error #1304: Syntax error.\n\n", "<unnamed>:2: error: Syntax error.\n"},
        {"unknownCode", [](auto& d) { d.reportError(999, 1, 0, "x"); }, "Error in \"prog.s\", line 1: error #999: \n\n",
         "prog.s:1: error: \n"},
        {"warning", [](auto& d) { d.reportWarning(1, ""); }, "Warning in warning #1: Some is bad in opcode\n\n",
         "rozedov: warning: Some is bad in opcode\n"},
        {"warningSizes", [](auto& d) { d.reportWarning(2, ""); },
         "Warning in warning #2: Some is bad in opcode sizes\n\n", "rozedov: warning: Some is bad in opcode sizes\n"},
        {"warning4000", [](auto& d) { d.reportWarning(4000, ""); }, "Warning in warning #4000: Some warning.\n\n",
         "rozedov: warning: Some warning.\n"},
        {"info", [](auto& d) { d.reportInfo(7000, ""); }, "Info in info #7000: Some info.\n\n",
         "rozedov: info: Some info.\n"},
        {"text", [](auto& d) { d.reportText("Wrong key id in rule definition string."); },
         "Error in error: Wrong key id in rule definition string.\n\n",
         "rozedov: error: Wrong key id in rule definition string.\n"},
        {"textIsNotAFormat", [](auto& d) { d.reportText("100%s done"); }, "Error in error: 100%s done\n\n",
         "rozedov: error: 100%s done\n"},
        {"detailReplacesTheTextOnStandardError",
         [](auto& d) { d.reportError(1304, 4, 0, "", {"expected a register", static_cast<std::size_t>(-1), 1}); },
         "Error in \"prog.s\", line 4: error #1304: Syntax error.\n\n", "prog.s:4: error: expected a register\n"},
    };
    for (const FormatCase& c : cases) {
        CDiagnosticMsgHandler diag;
        c.report(diag);
        const RunResult result = printedBy(diag);
        EXPECT_EQ(result.output, c.printed) << c.label;
        EXPECT_EQ(result.errors, c.errors) << c.label;
        EXPECT_EQ(diag.diagnostics().size(), 1u) << c.label;
        EXPECT_EQ(diag.numberedCount(), 1u) << c.label;
    }
}

TEST(Diagnostics, LongParameterIsSubstitutedWhole)
{
    CDiagnosticMsgHandler diag;
    const std::string name(5000, 'q');
    diag.reportError(1315, 1, 0, name);
    EXPECT_EQ(printedBy(diag).output,
              "Error in \"prog.s\", line 1: error #1315: Referencing undefined symbol " + name + ".\n\n");
}

TEST(Diagnostics, MessageTextSubstitutesTheParameterOnly)
{
    EXPECT_EQ(CDiagnosticMsgHandler::messageText(CDiagnostic::Error, 1315, "100%s"),
              "Referencing undefined symbol 100%s.");
    EXPECT_EQ(CDiagnosticMsgHandler::messageText(CDiagnostic::Error, 1304, "x"), "Syntax error.");
    // The kind is part of the key: 1 is a warning, not an error.
    EXPECT_EQ(CDiagnosticMsgHandler::messageText(CDiagnostic::Error, 1, ""), "");
    EXPECT_EQ(CDiagnosticMsgHandler::messageText(CDiagnostic::Info, 1304, ""), "");
}

TEST(Diagnostics, CheckStopsOnlyAfterAReport)
{
    CDiagnosticMsgHandler diag;
    EXPECT_NO_THROW(diag.check());
    diag.reportWarning(1, "");
    EXPECT_THROW(diag.check(), CStop);
    // Nothing clears the reported list: every later check stops again.
    EXPECT_THROW(diag.check(), CStop);
}

TEST(Diagnostics, InfoAloneStopsTheRun)
{
    CDiagnosticMsgHandler diag;
    diag.reportInfo(7000, "");
    EXPECT_THROW(diag.check(), CStop);
    EXPECT_EQ(printedBy(diag).output, "Info in info #7000: Some info.\n\n");
}

TEST(Diagnostics, MessagesArePrintedInReportOrder)
{
    CDiagnosticMsgHandler diag;
    diag.reportError(1304, 2, 0, "");
    diag.reportError(1304, 5, 1, "");
    EXPECT_THROW(diag.check(), CStop);
    EXPECT_EQ(printedBy(diag).output,
              "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n"
              "Error in \"inc/defs.inc\", line 5: error #1304: Syntax error.\n\n");
    ASSERT_EQ(diag.diagnostics().size(), 2u);
    EXPECT_EQ(diag.diagnostics()[1].line, 5);
    EXPECT_EQ(diag.diagnostics()[1].fileIndex, 1);
}

TEST(Diagnostics, TraceTextKeepsItsPlaceAmongTheMessages)
{
    CDiagnosticMsgHandler diag;
    diag.trace("one ");
    diag.trace("two\n");
    diag.reportError(1304, 2, 0, "");
    diag.trace("three\n");
    diag.reportError(1304, 3, 0, "");
    ASSERT_EQ(diag.items().size(), 4u);
    EXPECT_EQ(diag.items()[0].trace, "one two\n");
    EXPECT_EQ(diag.items()[1].diagnostic, 0);
    EXPECT_EQ(diag.items()[3].diagnostic, 1);
    EXPECT_EQ(printedBy(diag).output,
              "one two\n"
              "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n"
              "three\n"
              "Error in \"prog.s\", line 3: error #1304: Syntax error.\n\n");
}

TEST(Diagnostics, TraceAloneStopsNothing)
{
    CDiagnosticMsgHandler diag;
    diag.trace("Expression is 1\n");
    EXPECT_NO_THROW(diag.check());
    EXPECT_TRUE(diag.diagnostics().empty());
}

TEST(Warnings, GoToStandardErrorOnlyAndStopNothing)
{
    CDiagnosticMsgHandler diag;
    diag.warn({"value 600 does not fit"});
    diag.note({"the label is here"});
    EXPECT_NO_THROW(diag.check());
    EXPECT_EQ(diag.numberedCount(), 0u);
    EXPECT_EQ(diag.warningCount(), 1u);
    ASSERT_EQ(diag.diagnostics().size(), 1u);
    EXPECT_FALSE(diag.diagnostics()[0].numbered);
    const RunResult result = printedBy(diag);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "rozedov: warning: value 600 does not fit\nrozedov: note: the label is here\n");
}

TEST(Warnings, AreKeptUpToTheLimitAndCountedBeyond)
{
    CDiagnosticMsgHandler diag;
    const std::size_t total = CDiagnosticMsgHandler::kMostWarningsShown + 3;
    for (std::size_t i = 0; i < total; ++i) {
        EXPECT_EQ(diag.nextWarningShown(), i < CDiagnosticMsgHandler::kMostWarningsShown) << i;
        diag.warn({"w" + std::to_string(i)});
        diag.note({"n" + std::to_string(i)});
    }
    EXPECT_EQ(diag.warningCount(), total);
    ASSERT_EQ(diag.diagnostics().size(), CDiagnosticMsgHandler::kMostWarningsShown);
    // Each kept warning has its own note; the notes of dropped ones went with them.
    for (std::size_t i = 0; i < diag.diagnostics().size(); ++i) {
        const CDiagnostic& warning = diag.diagnostics()[i];
        EXPECT_EQ(warning.detail, "w" + std::to_string(i));
        ASSERT_EQ(warning.notes.size(), 1u) << i;
        EXPECT_EQ(warning.notes[0].text, "n" + std::to_string(i));
    }
}

TEST(Warnings, HiddenWarningsAreCountedButNotKept)
{
    CDiagnosticMsgHandler diag(false);
    EXPECT_FALSE(diag.nextWarningShown());
    diag.warn({"hidden"});
    diag.note({"hidden note"});
    EXPECT_EQ(diag.warningCount(), 1u);
    EXPECT_TRUE(diag.diagnostics().empty());
    EXPECT_TRUE(diag.items().empty());
}

TEST(Warnings, NoteWithoutAWarningIsDropped)
{
    CDiagnosticMsgHandler diag;
    diag.note({"alone"});
    diag.reportError(1304, 1, 0, "");
    diag.note({"after an error"});
    ASSERT_EQ(diag.diagnostics().size(), 1u);
    EXPECT_TRUE(diag.diagnostics()[0].notes.empty());
}

TEST(Spans, EachRecordKeepsTheBytesItPointsAt)
{
    CDiagnosticMsgHandler diag;
    diag.reportError(1304, 3, 0, "", {"expected a register", 4, 2});
    diag.reportError(1304, 4, 1, "");
    diag.reportText("Wrong key id in rule definition string.");
    diag.warn({"value 600 does not fit", 30, 3});
    diag.note({"the label is here", 12, 5});
    diag.note({"and nowhere"});
    ASSERT_EQ(diag.diagnostics().size(), 4u);
    const CDiagnostic& pointed = diag.diagnostics()[0];
    EXPECT_EQ(pointed.span.offset, 4u);
    EXPECT_EQ(pointed.span.length, 2u);
    // Until it is placed, the parser's line stands for the place.
    EXPECT_EQ(pointed.pos, (CSourcePos{0, 3, 0, 0}));
    EXPECT_EQ(pointed.detail, "expected a register");
    EXPECT_EQ(pointed.text, "Syntax error.");
    EXPECT_EQ(diag.diagnostics()[1].span.offset, CTextSpan::kNone);
    EXPECT_EQ(diag.diagnostics()[1].pos, (CSourcePos{1, 4, 0, 0}));
    EXPECT_EQ(diag.diagnostics()[2].span.offset, CTextSpan::kNone);
    EXPECT_FALSE(diag.diagnostics()[2].pos.known());
    const CDiagnostic& warning = diag.diagnostics()[3];
    EXPECT_EQ(warning.span.offset, 30u);
    EXPECT_EQ(warning.span.length, 3u);
    EXPECT_FALSE(warning.pos.known());
    ASSERT_EQ(warning.notes.size(), 2u);
    EXPECT_EQ(warning.notes[0].span.offset, 12u);
    EXPECT_EQ(warning.notes[0].span.length, 5u);
    EXPECT_EQ(warning.notes[1].span.offset, CTextSpan::kNone);
}

}  // namespace
