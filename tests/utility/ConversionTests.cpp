#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "utility/DString.h"

using namespace ORBEK::Utility;

TEST(Conversion, IntReadsLeadingDecimalNumberLikeAtoi)
{
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"42", 42},
        {"  -7", -7},
        {"+15", 15},
        {"10MB", 10},
        {"15m", 15},
        {"m", 0},
        {"", 0},
        {"abc", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999", INT_MIN},
        {"- 3", 0},
        {"0x10", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DString(c.text).Int(), c.value) << c.text;
        EXPECT_EQ(DString(c.text).To<int>(), c.value) << c.text;
        EXPECT_EQ(ParseInt(WStringView(WString(DString(c.text)))), c.value) << c.text;
    }
}

TEST(Conversion, BoolAcceptsCommonWordsAndRejectsTheRest)
{
    for (const char* yes : {"true", "TRUE", " True ", "yes", "on", "1"})
        EXPECT_TRUE(DString(yes).Bool()) << yes;
    for (const char* no : {"false", "0", "no", "off", "", "ture", "2", "truex"})
        EXPECT_FALSE(DString(no).To<bool>()) << no;
    bool value = true;
    EXPECT_TRUE(TryParseBool("off", value));
    EXPECT_FALSE(value);
    EXPECT_FALSE(TryParseBool("maybe", value));
    EXPECT_TRUE(WString(L"Yes").Bool());
}
