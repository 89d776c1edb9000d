// The purges against their plain loops: same files left, same diagnostics, far fewer file-system calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Recorders.h"
#include "ReferencePurge.h"
#include "RollingTestSupport.h"
#include "TimeZone.h"
#include "host/Utility.h"
#include "rolling/Helper.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/SlotNamer.h"
#include "rolling/TimeBasedRollPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// Counts the deletes the purge asks for.
class RemoveCounter : public os::Interposer {
public:
    RemoveCounter() : m_Previous(os::Interpose(this)) {}
    ~RemoveCounter() override { os::Interpose(m_Previous); }
    os::Status RemoveFile(std::wstring_view name) override
    {
        ++removes;
        return os::Interposer::RemoveFile(name);
    }
    long removes = 0;

private:
    os::Interposer* m_Previous;
};

struct Case {
    const char* pattern;  // inside the test directory; '/' is the separator
    const char* maxHistory;
    bool sizeAndTime;
    bool minutes;  // 43,200 slots: the plain loop takes seconds, so fewer runs
};

std::string Localised(std::string pattern)
{
    for (char& c : pattern)
        if (c == '/')
            c = static_cast<char>(fs::path::preferred_separator);
    return pattern;
}

// History files around the purged span, in every form, and a few that belong to no slot.
std::vector<std::string> Population(const std::string& pattern, std::int64_t now, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::string> names;
    const bool indexed = pattern.find("{RollingIndex}") != std::string::npos;
    for (int i = 0; i < 100; ++i) {
        const std::int64_t at = now - static_cast<std::int64_t>(random() % (62ull * 24 * 60)) * kTicksPerMinute;
        std::string name = NameAt(pattern, at);
        const int count = indexed ? 1 + static_cast<int>(random() % 3) : 1;
        for (int n = 1; n <= count; ++n) {
            WString member = Rolling::Helper::ApplyIndex(WString(DString(name.c_str())), random() % 5 == 0 ? n + 1 : n);
            const auto family = Rolling::Helper::Variants(member, true);
            names.push_back(family[random() % family.size()].ToDString().c_str());
        }
    }
    names.push_back("unrelated.txt");
    names.push_back("app.log");
    names.push_back("app.log.gz");
    names.push_back("app.log.zip");
    std::string upper = names[3];
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    names.push_back(upper);
    return names;
}

void Lay(const TempDir& dir, const std::vector<std::string>& names)
{
    fs::remove_all(dir.Path());
    fs::create_directories(dir.Path());
    for (const std::string& name : names)
        Touch(dir, name);
}

std::set<std::string> Tree(const fs::path& root)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            names.insert(Utf8(fs::relative(entry.path(), root)));
    return names;
}

// Runs the policy's purge and the plain loop on the same files; both must leave the same files and,
// with diagnostics on, write the same lines.
void ExpectSameAsReference(const Case& c, std::int64_t now, bool diagnostics)
{
    TempDir dir;
    const std::string pattern = Utf8(dir.Path()) + Sep() + Localised(c.pattern);
    const std::vector<std::string> names = Population(Localised(c.pattern), now, 7);
    FakeClock clock(now);

    std::unique_ptr<TimeBasedRollPolicy> policy = NewTimePolicy(c.sizeAndTime);
    policy->SetOption(N("/fileNamePattern/value"), N(pattern));
    policy->SetOption(N("/maxHistory/value"), N(c.maxHistory));
    policy->ActivateOptions();
    const PurgeSetup setup{N(pattern), policy->HistoryMinutes(), policy->PeriodMinutes()};

    // Lays the files afresh, runs `purge` on them and gives the lines it wrote.
    std::size_t laid = 0;
    auto run = [&](auto purge) {
        Lay(dir, names);
        laid = Tree(dir.Path()).size();
        std::unique_ptr<DiagnosticRecorder> recorder = diagnostics ? std::make_unique<DiagnosticRecorder>() : nullptr;
        purge();
        return recorder ? recorder->Texts() : std::vector<std::string>{};
    };
    const std::vector<std::string> referenceLines = run([&] {
        if (c.sizeAndTime)
            ReferenceSizeAndTimeBasedPurge(setup, now);
        else
            ReferenceTimeBasedPurge(setup, now);
    });
    const std::set<std::string> expected = Tree(dir.Path());
    const std::vector<std::string> lines = run([&] {
        if (c.sizeAndTime)
            static_cast<SizeAndTimeBasedRollPolicy&>(*policy).Purge(&now);
        else
            policy->Purge(&now);
    });
    EXPECT_EQ(Tree(dir.Path()), expected) << c.pattern << (diagnostics ? " (diagnostics on)" : "");
    EXPECT_LT(expected.size(), laid) << c.pattern << ": nothing was there to purge";
    EXPECT_EQ(lines, referenceLines) << c.pattern;
}

const Case kCases[] = {
    {"app.{yyyy}{MM}{dd}-{HH}{mm}.log", "30", false, true},
    {"app.{yyyy}{MM}{dd}-{HH}{mm}.{RollingIndex}.log", "30", true, true},
    {"{yyyy}{MM}{dd}/app.{HH}{mm}.log", "90", false, true},
    {"app.{yyyy}-{MM}-{dd}_{HH}.log", "24", false, false},
    {"app.{d}{H}{RollingIndex}.log", "30", true, false},
    {"app.{yyyy}-{MM}-{dd}.log", "7", false, false},
    {"app.log.{yyyy}-{MM}-{dd}", "7", false, false},
    {"app-{dd}", "3", false, false},
    {"{yyyy}{MM}/app.{dd}.log", "3", false, false},
    {"app.{yyyy}-{MM}-{dd}.{RollingIndex}.log", "5", true, false},
    {"app.{yyyy}-{MM}-{dd}.log.{RollingIndex}", "5", true, false},
    {"{yyyy}{MM}/app.{dd}.{RollingIndex}.log", "4", true, false},
    {"app.{yyyy}{MM}{dd}.log", "2", true, false},
};

}  // namespace

TEST(Purge, LeavesWhatThePlainLoopLeaves)
{
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19, 31);
    for (const Case& c : kCases) {
        ExpectSameAsReference(c, now, false);
        if (!c.minutes)
            ExpectSameAsReference(c, now, true);
    }
}

TEST(SlotNamer, NamesLikeTheHostAcrossOffsetChanges)
{
    const DString pattern("{yyyy}-{MM}-{dd} {HH}:{mm}:{ss} {yy}{M}{d}{H}{m}{s} {{dd}} {x} {RollingIndex} \xc3\xa9.log");
    std::vector<const char*> zones{""};
    if (!kWindows)
        zones = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "IST-5:30",
                 "EST5EDT,M3.2.0,M11.1.0"};
    for (const char* zone : zones) {
        std::unique_ptr<ScopedTimeZone> tz = *zone ? std::make_unique<ScopedTimeZone>(zone) : nullptr;
        for (const std::int64_t start : {LocalTicks(2026, 3, 10), LocalTicks(2026, 9, 25), LocalTicks(2026, 12, 1)}) {
            const std::int64_t from = start / kTicksPerSecond;
            const std::int64_t to = from + 45 * 86400;
            Rolling::SlotNamer namer;
            ASSERT_TRUE(namer.Prepare(pattern, from, to)) << zone;
            std::wstring mine;
            for (std::int64_t s = from; s <= to; s += 59) {
                namer.NameAt(s, mine);
                const WString host = Utility::PatternToFileName(pattern.c_str(), &s);
                ASSERT_EQ(host.StdView(), mine) << zone << " at " << s;
            }
        }
    }
    Rolling::SlotNamer namer;
    EXPECT_FALSE(namer.Prepare(DString("app.{GlobalMap:host}.{dd}.log"), 0, 86400));
}
