#include "support/error_reporting.h"
#include "support/scripted_ui.h"

#include <gtest/gtest.h>

using namespace halvo;

namespace {
constexpr const char* kBlockTail = "\r\nError Number \r\n\t5\r\nDescription\r\n\tbad thing\r\n\r\n";

void inner() { support::raise(5, "bad thing", "src"); }

void middle()
{
    support::GuardedVoid("C", "modC", false, [] { inner(); });
}

void passOn()
{
    support::GuardedVoid("B", "modB", false, [] { middle(); });
}
}  // namespace

TEST(ErrorReporting, ShownWhereItHappenedHasOneLocation)
{
    test::ScriptedUi ui;
    const bool r = support::Guarded("A", "modA", true, true, [] {
        inner();
        return false;
    });
    EXPECT_TRUE(r);  // the fallback
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0],
              std::string("Record Call Stack Sequence - Bottom line is error line.\r\n\r\n\tA modA \r\n") + kBlockTail);
}

TEST(ErrorReporting, PassedOnTwiceThenShownListsOutermostFirst)
{
    test::ScriptedUi ui;
    support::GuardedVoid("A", "modA", true, [] { passOn(); });
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0], std::string("Record Call Stack Sequence - Bottom line is error line.\r\n\r\n"
                                         "\tA modA \r\n\tB modB \r\n\tC modC \r\n") +
                                 kBlockTail);

    // The next error starts a fresh block.
    support::GuardedVoid("D", "modD", true, [] { inner(); });
    ASSERT_EQ(ui.reports.size(), 2u);
    EXPECT_EQ(ui.reports[1],
              std::string("Record Call Stack Sequence - Bottom line is error line.\r\n\r\n\tD modD \r\n") + kBlockTail);
}

TEST(ErrorReporting, SwallowedTraceDoesNotLeakIntoTheNextError)
{
    test::ScriptedUi ui;
    try {
        passOn();
    } catch (const support::Error&) {
        // a caller that skips the failed step instead of reporting it
    }
    support::GuardedVoid("E", "modE", true, [] { inner(); });
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0],
              std::string("Record Call Stack Sequence - Bottom line is error line.\r\n\r\n\tE modE \r\n") + kBlockTail);
}

TEST(ErrorReporting, LineTextAndLocation)
{
    EXPECT_EQ(support::ErrLineText(0), "");
    EXPECT_EQ(support::ErrLineText(42), "Line : 42");
    EXPECT_EQ(support::Location("isCalPctIS", "clsISExecuteModel", 7), "isCalPctIS clsISExecuteModel Line : 7");
}
