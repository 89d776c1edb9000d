#include <gtest/gtest.h>

#include <ctime>

#include "host/Utility.h"
#include "os/Clock.h"
#include "os/Path.h"

using namespace Quorlin;

namespace {

std::int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
    return os::FromLocalTime(t);
}

std::string Expand(const char* pattern, std::int64_t seconds)
{
    return Utility::PatternToFileName(pattern, &seconds).ToDString().c_str();
}

}  // namespace

TEST(PatternToFileName, ExpandsDateAndTimeTokensInLocalTime)
{
    const std::int64_t at = LocalSeconds(2026, 3, 7, 9, 5, 4);
    EXPECT_EQ(Expand("app-{yyyy}-{MM}-{dd}_{HH}{mm}{ss}.log", at), "app-2026-03-07_090504.log");
    EXPECT_EQ(Expand("{yy}/{M}/{d} {H}:{m}:{s}", at), "26/3/7 9:5:4");
    EXPECT_EQ(Expand("app.{dd}.{RollingIndex}.log", at), "app.07.{RollingIndex}.log");
    EXPECT_EQ(Expand("{unknown}{dd", at), "{unknown}{dd");
    EXPECT_EQ(Expand("", at), "");
    EXPECT_EQ(Utility::PatternToFileName(nullptr).GetLength(), 0);
}

TEST(NormalizeForFileName, SeparatorsAndLimit)
{
    const wchar_t sep = os::PathSeparator();
    const std::wstring expected = std::wstring(L"a") + sep + L"b" + sep + L"c.log";
    EXPECT_EQ(std::wstring(Utility::NormalizeForFileName(L"a//b/c.log", 260).StdView()), expected);
    EXPECT_EQ(std::wstring(Utility::NormalizeForFileName(L"abcdef", 3).StdView()), L"abc");
}
