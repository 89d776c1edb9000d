// What the purge and the window shift delete: real history beyond the limits, and never a file that
// merely looks like history, nor anything else in the folder.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RollingTestSupport.h"
#include "host/Utility.h"
#include "rolling/FixedWindowRollPolicy.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

// Every file of the folder with its content.
std::map<std::string, std::string> Contents(const TempDir& dir)
{
    std::map<std::string, std::string> contents;
    for (const std::string& name : Files(dir.Path()))
        contents[name] = ReadFile(dir.Path() / name);
    return contents;
}

// Files that share a name with history except for a digit, a suffix, a stem or the number of digits,
// and files of other kinds; each holds its own name.
void LayLookAlikes(const TempDir& dir, const std::string& stem, const std::string& extension)
{
    for (const std::string& name :
         std::vector<std::string>{stem + extension + ".bak", stem + extension + ".gz.part", stem + extension + ".1",
                                  stem + ".gz.tmp", "old-" + stem + extension, stem + "x" + extension, stem + ".txt",
                                  stem + extension + "x", "notes.txt", "app.log.lock", "app.log"})
        Touch(dir, name, "");
}

struct TimeCase {
    const char* pattern;
    bool sizeAndTime;
    std::vector<std::string> realSuffixes;   // after the day's name (its index given as {RollingIndex})
    std::vector<std::string> lookAlikeDays;  // names of the expired day written another way
};

}  // namespace

TEST(PurgeSelectivity, TimePurgesDeleteExpiredHistoryAndNothingThatOnlyLooksLikeIt)
{
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19, 31);
    const std::int64_t expired = now - 10 * kTicksPerDay;  // maxHistory 3: days 4 to 33 back go
    const std::int64_t kept = now - 2 * kTicksPerDay;
    const TimeCase cases[] = {
        {"app.{yyyy}-{MM}-{dd}.log",
         false,
         {".log", ".log.gz", ".gz", ".log.zip"},
         {"app.2026-11-2.log", "app.2026-11-026.log", "app.2026-1-26.log", "app.2026-11-2a.log", "app.26-11-26.log"}},
        {"app.{yyyy}-{MM}-{dd}.{RollingIndex}.log",
         true,
         {".1.log.gz", ".2.log.gz", ".3.log"},
         {"app.2026-11-26.01.log", "app.2026-11-26.x.log", "app.2026-11-26..log", "app.2026-11-26.1.1.log",
          "app.2026-11-026.1.log"}},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        TempDir dir;
        FakeClock clock(now);
        std::unique_ptr<TimeBasedRollPolicy> policy = NewTimePolicy(c.sizeAndTime);
        policy->SetOption(N("/fileNamePattern/value"), N(Utf8(dir.Path()) + Sep() + c.pattern));
        policy->SetOption(N("/maxHistory/value"), N("3"));
        policy->ActivateOptions();

        const std::string expiredDay = NameAt("app.{yyyy}-{MM}-{dd}", expired);
        for (const std::string& suffix : c.realSuffixes) {
            Touch(dir, expiredDay + suffix);
            Touch(dir, NameAt("app.{yyyy}-{MM}-{dd}", kept) + suffix, "");
        }
        LayLookAlikes(dir, expiredDay, ".log");
        for (const std::string& name : c.lookAlikeDays)
            Touch(dir, name, "");
        std::map<std::string, std::string> expected = Contents(dir);
        for (const std::string& suffix : c.realSuffixes)
            expected.erase(expiredDay + suffix);

        const std::int64_t at = now;
        if (c.sizeAndTime)
            static_cast<SizeAndTimeBasedRollPolicy&>(*policy).Purge(&at);
        else
            policy->Purge(&at);
        EXPECT_EQ(Contents(dir), expected);
    }
}

TEST(PurgeSelectivity, AWindowShiftMovesAndDeletesOnlyItsOwnNumbers)
{
    TempDir dir;
    FixedWindowRollPolicy policy;
    policy.SetOption(N("rollingPolicy/maxIndex/value"), N("3"));
    policy.SetOption(N("/fileNamePattern/value"), N(Utf8(dir.Path()) + Sep() + "app.{RollingIndex}.log"));
    policy.ActivateOptions();
    Touch(dir, "app.1.log", "one");
    Touch(dir, "app.2.log.gz", "two");
    Touch(dir, "app.3.log", "three");  // the oldest of a full window
    Touch(dir, "app.4.log", "");       // beyond the window: not the window's to delete
    for (const std::string& name :
         std::vector<std::string>{"app.03.log", "app.3.log.bak", "app.3.log.gz.part", "app.3.log.1", "app.3x.log", "app.x.log",
                                  "app-3.log", "other.3.log", "app.3.1.log", "app.30.log"})
        Touch(dir, name, "");
    LayLookAlikes(dir, "app.2", ".log");
    Touch(dir, "app.log", "active");
    std::map<std::string, std::string> expected = Contents(dir);
    expected.erase("app.log");
    expected["app.1.log"] = "active";
    expected["app.2.log"] = "one";
    expected.erase("app.2.log.gz");
    expected["app.3.log.gz"] = "two";
    expected.erase("app.3.log");

    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    EXPECT_TRUE(description->synchronous->Execute());  // the shift runs with the rename
    EXPECT_EQ(Contents(dir), expected);
}
