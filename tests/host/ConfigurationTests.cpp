#include <gtest/gtest.h>

#include "host/Configuration.h"
#include "host/Level.h"

using namespace Quorlin;

TEST(Configuration, BrokenFilesNameFileAndLine)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"[appender a]\ntype = Appender.Null\nno equals sign\n", "q.conf:3: expected 'key = value'"},
        {"[appender a]\nlayout = %m\n[root]\nappender-ref = a\n", "q.conf:1: appender 'a' has no 'type'"},
        {"[appender a]\ntype = X\n[appender a]\ntype = Y\n", "q.conf:3: appender 'a' is defined twice (first on line 1)"},
        {"[appender a]\ntype = X\nthreshold = LOUD\n", "q.conf:3: threshold 'LOUD'"},
        {"verbose = 1\n", "q.conf:1: unknown setting 'verbose'"},
        {"debug = perhaps\n", "q.conf:1: 'debug' must be true or false"},
        {"[appenders a]\n", "q.conf:1: unknown section [appenders a]"},
        {"[appender a\n", "q.conf:1: a section header must end with ']'"},
        {"[appender a]\ntype = X\n[root]\nappender-ref = b\n", "q.conf:4: [root] refers to appender 'b'"},
        {"[appender a]\ntype = X\n[root]\nlevel = INFO\n", "q.conf:3: no appender receives events"},
        {"[appender a]\ntype = X\n[root]\nappender = a\n", "q.conf:4: unknown key 'appender' in [root]"},
        {"[appender a]\ntype = X\n[root]\n[root]\n", "q.conf:4: [root] appears twice"},
        {"[appender a]\n = x\n", "q.conf:2: a key is missing"},
        {"", "q.conf:1: no appender receives events"},
    };
    for (const Case& c : cases) {
        Configuration config;
        std::string error;
        EXPECT_FALSE(ParseConfiguration(c.text, "q.conf", config, error)) << c.text;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << "got: " << error;
    }
}

TEST(Configuration, MissingFileIsNamed)
{
    Configuration config;
    std::string error;
    EXPECT_FALSE(LoadConfiguration("/no/such/dir/q.conf", config, error));
    EXPECT_EQ(error, "/no/such/dir/q.conf: cannot be read");
}

TEST(Level, NamesAndNumbers)
{
    std::int32_t level = -1;
    EXPECT_TRUE(ParseLevel("Error", level));
    EXPECT_EQ(level, LevelError);
    EXPECT_TRUE(ParseLevel(" warning ", level));
    EXPECT_EQ(level, LevelWarn);
    EXPECT_TRUE(ParseLevel("70001", level));
    EXPECT_EQ(level, 70001);
    EXPECT_FALSE(ParseLevel("-5", level));
    EXPECT_FALSE(ParseLevel("99999999999", level));
    EXPECT_FALSE(ParseLevel("", level));
    EXPECT_STREQ(LevelName(LevelInfo), "INFO");
    EXPECT_STREQ(LevelName(LevelWarn - 1), "INFO");
    EXPECT_STREQ(LevelName(200000), "FATAL");
    EXPECT_STREQ(LevelName(5), "ALL");
}
