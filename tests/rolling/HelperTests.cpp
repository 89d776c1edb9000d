#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Recorders.h"
#include "RollingTestSupport.h"
#include "os/Directory.h"
#include "rolling/Helper.h"
#include "rolling/HistoryListing.h"

using namespace QuorlinTest;
namespace Helper = Quorlin::Rolling::Helper;
namespace fs = std::filesystem;

TEST(RollingHelper, ScanIndexGivesZeroWhenAll999Exist)
{
    TempDir dir;
    for (int i = 1; i <= 999; ++i)
        Touch(dir, "a." + std::to_string(i));
    const WString name = W(dir.Wide("a.{RollingIndex}"));
    EXPECT_EQ(Helper::ScanIndex(name), 0);
    Quorlin::Rolling::HistoryListing listing;
    EXPECT_EQ(Helper::ScanIndex(name, &listing), 0);
    EXPECT_EQ(Helper::FreeIndex(name, 1), 1000);
}

TEST(RollingHelper, ListingAnswersLikeTheFileSystem)
{
    TempDir dir;
    Touch(dir, "App.1.log");
    Touch(dir, "app.2.log");
    Quorlin::Rolling::HistoryListing listing;
    using Presence = Quorlin::Rolling::HistoryListing::Presence;
    EXPECT_EQ(listing.Lookup(W(dir.Wide("app.2.log"))), Presence::Present);
    EXPECT_EQ(listing.Lookup(W(dir.Wide("app.3.log"))), Presence::Absent);
    // A name that differs only in case is for the system to judge.
    EXPECT_EQ(listing.Lookup(W(dir.Wide("app.1.log"))), Presence::Unknown);
    EXPECT_EQ(listing.Exists(W(dir.Wide("app.1.log"))), Quorlin::os::PathExists(dir.Wide("app.1.log")));
    EXPECT_EQ(listing.Lookup(W(dir.Wide("app.*.log"))), Presence::Unknown);
    EXPECT_EQ(listing.Lookup(W(dir.Wide("none/app.1.log"))), Presence::Absent);
    listing.Remove(W(dir.Wide("app.2.log")));
    EXPECT_FALSE(fs::exists(dir.Path() / "app.2.log"));
    EXPECT_EQ(listing.Lookup(W(dir.Wide("app.2.log"))), Presence::Absent);
}
