#include "base/numparse.h"

#include <gtest/gtest.h>

using namespace tessilor;

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfTheText)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("80")), 80.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("   120")), 120.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("12abc")), 12.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("40.9")), 40.9);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("-5")), -5.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(".5x")), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1e3")), 1000.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("2e")), 2.0);
}

TEST(LeadingNumber, TextWithoutANumberIsZero)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QString()), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("-")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(".")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("x12")), 0.0);
}

TEST(LeadingNumber, HugeValuesSaturateInsteadOfFailing)
{
    EXPECT_TRUE(std::isinf(leadingNumber(QStringLiteral("1e400"))));
    EXPECT_EQ(floorToInt64(leadingNumber(QString(400, u'9'))), Q_INT64_C(9000000000000000000));
    EXPECT_EQ(floorToInt64(-1e300), -Q_INT64_C(9000000000000000000));
}

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEvenTo16(2.5), 2);
    EXPECT_EQ(roundHalfEvenTo16(3.5), 4);
    EXPECT_EQ(roundHalfEvenTo16(-2.5), -2);
    bool over = false;
    EXPECT_EQ(roundHalfEvenTo16(40000.0, &over), 32767);
    EXPECT_TRUE(over);
    EXPECT_EQ(roundHalfEvenTo32(0.5), 0);
    EXPECT_EQ(roundHalfEvenTo32(1.5), 2);
}

TEST(Rounding, ShortestTextOfASingle)
{
    EXPECT_EQ(shortestText(8000.0f), QStringLiteral("8000"));
    EXPECT_EQ(shortestText(400.0f / 300.0f), QStringLiteral("1.3333334"));
    EXPECT_EQ(shortestText(-15.0f), QStringLiteral("-15"));
}
