#include "reports/report_text.h"

#include <gtest/gtest.h>

namespace halvo::reports {
namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = 3;  // deliberately wrong: the weekday must come from the date
    return t;
}

TEST(ReportStamps, LongStampShowsNoonAsTwelvePmAndTheWeekdayOfTheDate)
{
    EXPECT_EQ(LongStamp(At(2026, 12, 5, 13, 37, 5)), "Saturday December 5, 2026 01:37:05 PM");
    EXPECT_EQ(LongStamp(At(2024, 2, 29, 0, 0, 9)), "Thursday February 29, 2024 12:00:09 AM");
    EXPECT_EQ(LongStamp(At(2000, 1, 1, 12, 5, 0)), "Saturday January 1, 2000 12:05:00 PM");
}

TEST(ReportStamps, DateAndTimeStampsAreZeroPaddedAnd24HourWithTheRightMonth)
{
    EXPECT_EQ(DateStamp(At(2027, 1, 9, 0, 4, 0)) + " " + TimeStamp(At(2027, 1, 9, 0, 4, 0)), "20270109 0004");
    EXPECT_EQ(TimeStamp(At(2026, 12, 5, 13, 37, 5)), "1337");
}

TEST(ReportDoubles, FifteenSignificantDigitsNoTrailingZerosAndExponentsOutsidePlainRange)
{
    EXPECT_EQ(DoubleText(1234567.5), "1234567.5");
    EXPECT_EQ(DoubleText(-78.9), "-78.9");
    EXPECT_EQ(DoubleText(0.0), "0");
    EXPECT_EQ(DoubleText(-0.0), "0");
    EXPECT_EQ(DoubleText(1500000.0), "1500000");
    EXPECT_EQ(DoubleText(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(DoubleText(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(DoubleText(0.1 + 0.2), "0.3");
    EXPECT_EQ(DoubleText(1523456.123456789), "1523456.12345679");
    EXPECT_EQ(DoubleText(123456789012345.0), "123456789012345");
    EXPECT_EQ(DoubleText(1e15), "1E+15");
    EXPECT_EQ(DoubleText(-1.25e20), "-1.25E+20");
    EXPECT_EQ(DoubleText(999999999999999.9), "1E+15");  // rounding moves the exponent
    EXPECT_EQ(DoubleText(0.0001), "0.0001");
    EXPECT_EQ(DoubleText(0.00001), "1E-05");
    EXPECT_EQ(DoubleText(1.5e-7), "1.5E-07");
}

}  // namespace
}  // namespace halvo::reports
