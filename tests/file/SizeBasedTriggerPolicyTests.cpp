#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Recorders.h"
#include "file/SizeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

constexpr const char* kKey = "triggeringPolicy/maxFileSize/value";

} // namespace

TEST(SizeBasedTriggerPolicy, SizeTextsGiveTheLimitAtWhichTheFileRolls)
{
    const struct {
        const char* value;
        std::uint64_t bytes;
    } cases[] = {
        {"10MB", 10485760}, {"10mb", 10485760}, {"10M", 10485760}, {"10m", 10485760},
        {"2048KB", 2097152}, {"2048kb", 2097152}, {"512K", 524288}, {"512k", 524288},
        {"1GB", 1073741824}, {"1gb", 1073741824}, {"3G", 3221225472}, {"3g", 3221225472},
        {"8192", 8192}, {"4096", 4096},
        // mixed case is no unit: 10 bytes, then raised to the floor
        {"10Mb", 4096}, {"10kB", 4096}, {"3000", 4096}, {"0", 4096}, {"MB", 4096},
        // a negative number is a limit never reached, left as it is
        {"-1", std::numeric_limits<std::uint64_t>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        SizeBasedTriggerPolicy policy;
        policy.SetOption(DString(kKey), DString(c.value));
        policy.ActivateOptions();
        EXPECT_EQ(policy.GetMaxFileSize(), c.bytes);
        EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, c.bytes - 1));
        EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, c.bytes)) << "a count equal to the maximum triggers";
    }
}

TEST(SizeBasedTriggerPolicy, ActivationReportsTheLimitAndRaisesOneTooSmall)
{
    const std::string report = "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize ";
    const struct {
        const char* value;  // null: no option at all
        std::vector<Diagnostic> lines;
    } cases[] = {
        {nullptr, {{50000, report + ": 262144 (256 KB)"}}},
        {"3000", {{80000, report + "is too small, auto correct to 4096 (bytes)"}, {50000, report + ": 4096 (4 KB)"}}},
        {"2047KB", {{50000, report + ": 2096128 (2047 KB)"}}},
        {"2048KB", {{50000, report + ": 2097152 (2048 KB, 2 MB)"}}},
        {"-1", {{50000, report + ": 18446744073709551615 (18014398509481983 KB, 17592186044415 MB)"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value == nullptr ? "(none)" : c.value);
        DiagnosticRecorder diagnostics;
        SizeBasedTriggerPolicy policy;
        if (c.value != nullptr)
            policy.SetOption(DString(kKey), DString(c.value));
        policy.ActivateOptions();
        EXPECT_EQ(diagnostics.Lines(), c.lines);
    }
}

TEST(SizeBasedTriggerPolicy, TakesOnlyKeysContainingMaxFileSizeValue)
{
    SizeBasedTriggerPolicy policy;
    policy.SetOption(DString("triggeringPolicy/maxFileSize/type"), DString("1MB"));
    policy.SetOption(DString("maxFileSize/value"), DString("2MB"));  // no leading slash: not contained
    policy.SetOption(DString("fileName/value"), DString("3MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 262144u);
    policy.SetOption(DString("appender/triggeringPolicy/maxFileSize/value/extra"), DString("5MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 5u << 20);
    policy.SetOption(DString(kKey), DString("6MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 6u << 20) << "a later pair overwrites an earlier one";
}
