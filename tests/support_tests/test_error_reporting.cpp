#include "support/error_reporting.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace halvo;

namespace {
constexpr const char* kHead = "Record Call Stack Sequence - Bottom line is error line.\r\n\r\n";
constexpr const char* kBlockTail = "\r\nError Number \r\n\t5\r\nDescription\r\n\tbad thing\r\n\r\n";

void inner() { support::raise(5, "bad thing", "src"); }

void middle()
{
    const support::Procedure frame("C", "modC");
    inner();
}

void passOn()
{
    const support::Procedure frame("B", "modB");
    middle();
}

void shownHere()
{
    const support::Procedure frame("S", "modS", support::Shown::Here);
    passOn();
}

void outside()
{
    const support::Procedure frame("O", "modO");
    shownHere();
}

// What a face catching at "A modA" reports.
std::string FaceReport(void (*body)())
{
    try {
        body();
    } catch (...) {
        return support::ReportText(support::describe(std::current_exception()), "A", "modA");
    }
    return {};
}
}  // namespace

TEST(ErrorReporting, TheFaceListsTheChainOutermostFirst)
{
    EXPECT_EQ(FaceReport(inner), std::string(kHead) + "\tA modA \r\n" + kBlockTail);
    EXPECT_EQ(FaceReport(passOn), std::string(kHead) + "\tA modA \r\n\tB modB \r\n\tC modC \r\n" + kBlockTail);
    // The next error starts a fresh chain.
    EXPECT_EQ(FaceReport(inner), std::string(kHead) + "\tA modA \r\n" + kBlockTail);
    // Where the old program showed the report, the report starts, whoever catches.
    EXPECT_EQ(FaceReport(outside), std::string(kHead) + "\tS modS \r\n\tB modB \r\n\tC modC \r\n" + kBlockTail);
}

TEST(ErrorReporting, SwallowedTraceDoesNotLeakIntoTheNextError)
{
    try {
        passOn();
    } catch (const support::Error&) {
        // a caller that skips the failed step instead of reporting it
    }
    EXPECT_EQ(FaceReport(inner), std::string(kHead) + "\tA modA \r\n" + kBlockTail);
}

TEST(ErrorReporting, AnyFailureLeavingAProcedureIsReportedWithItsChain)
{
    try {
        const support::Procedure frame("B", "modB");
        throw std::runtime_error("disk gone");
    } catch (...) {
        const support::Caught c = support::describe(std::current_exception());
        EXPECT_EQ(c.kind, support::Failure::Failed);
        EXPECT_EQ(c.chain, std::vector<std::string>{"B modB "});
        EXPECT_EQ(c.description, "disk gone");
    }
}

TEST(ErrorReporting, LineTextAndLocation)
{
    EXPECT_EQ(support::ErrLineText(0), "");
    EXPECT_EQ(support::ErrLineText(42), "Line : 42");
    EXPECT_EQ(support::Location("isCalPctIS", "clsISExecuteModel", 7), "isCalPctIS clsISExecuteModel Line : 7");
}
