#include <gtest/gtest.h>

#include <filesystem>
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

namespace {

std::vector<std::wstring> Family(const std::wstring& name, bool stemVariants)
{
    std::vector<std::wstring> out;
    for (const WString& member : Helper::Variants(W(name), stemVariants))
        out.emplace_back(member.StdView());
    return out;
}

}  // namespace

TEST(RollingHelper, ApplyIndexReplacesEveryToken)
{
    EXPECT_EQ(Helper::ApplyIndex(W(L"app.{RollingIndex}.log"), 3), W(L"app.3.log"));
    EXPECT_EQ(Helper::ApplyIndex(W(L"{RollingIndex}/a.{RollingIndex}"), 12), W(L"12/a.12"));
    EXPECT_EQ(Helper::ApplyIndex(W(L"app.log"), 7), W(L"app.log"));
    EXPECT_EQ(Helper::ApplyIndex(W(L"app.{RollingIndex}.log"), 0), W(L"app.0.log"));
}

TEST(RollingHelper, NameFamilyInItsOrder)
{
    const std::wstring s(1, static_cast<wchar_t>(fs::path::preferred_separator));
    const std::wstring name = L"logs" + s + L"app.3.log";
    EXPECT_EQ(Family(name, true), (std::vector<std::wstring>{name, name + L".gz", name + L".zip", L"logs" + s + L"app.3.gz",
                                                             L"logs" + s + L"app.3.zip"}));
    // Without an extension the stem variants would be name.gz and name.zip once more.
    EXPECT_EQ(Family(L"app-3", true), (std::vector<std::wstring>{L"app-3", L"app-3.gz", L"app-3.zip"}));
    EXPECT_EQ(Family(L"app.3.log", false), (std::vector<std::wstring>{L"app.3.log", L"app.3.log.gz", L"app.3.log.zip"}));
}

TEST(RollingHelper, StemVariantsOnlyWhereTheStemTellsNamesApart)
{
    struct Row {
        const wchar_t* pattern;
        bool expected;
    };
    const Row rows[] = {
        {L"app.{RollingIndex}.log", true}, {L"app.log.{RollingIndex}", false}, {L"app-{RollingIndex}", false},
        {L"app.2026-12-06.log", true},     {L"app.log.{dd}", false},           {L"{RollingIndex}.log", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Helper::HasStemVariants(W(row.pattern)), row.expected)
            << std::string(row.pattern, row.pattern + wcslen(row.pattern));
}

TEST(RollingHelper, RenameShiftsEveryVariantAcrossGaps)
{
    TempDir dir;
    for (const char* name : {"app.1.log", "app.2.log", "app.1.log.gz", "app.3.log.gz", "app.1.zip", "app.2.log.zip"})
        Touch(dir, name, name);
    Helper::Rename(W(dir.Wide("app.{RollingIndex}.log")), 1, 3);
    // app.3.log.gz had no app.2.log.gz to replace it, so it is gone; 1 moved to 2, 2 to 3.
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.2.log", "app.3.log", "app.2.log.gz", "app.2.zip", "app.3.log.zip"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app.3.log"), "app.2.log");
    EXPECT_EQ(ReadFile(dir.Path() / "app.2.log"), "app.1.log");
    EXPECT_EQ(ReadFile(dir.Path() / "app.2.log.gz"), "app.1.log.gz");
    EXPECT_EQ(ReadFile(dir.Path() / "app.2.zip"), "app.1.zip");
}

TEST(RollingHelper, RenameReplacesTheTopOfTheWindowEvenReadOnly)
{
    TempDir dir;
    for (const char* name : {"app.1.log", "app.2.log", "app.3.log"})
        Touch(dir, name, name);
    ASSERT_TRUE(Quorlin::os::SetReadOnly(dir.Wide("app.3.log")).Ok());
    Helper::Rename(W(dir.Wide("app.{RollingIndex}.log")), 1, 3);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.2.log", "app.3.log"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app.3.log"), "app.2.log");
}

TEST(RollingHelper, RenameWithEqualBoundsTouchesNothing)
{
    TempDir dir;
    Touch(dir, "app.5.log");
    DiagnosticRecorder diagnostics;
    Helper::Rename(W(dir.Wide("app.{RollingIndex}.log")), 5, 5);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.5.log"}));
    EXPECT_EQ(diagnostics.Texts().size(), 1u);  // the entry line only
}

// app.log.{RollingIndex}: every stem is app.log, so app.log.gz is no member of any numbered family.
TEST(RollingHelper, IndexAsExtensionLeavesTheBaseNamesCompressedFilesAlone)
{
    TempDir dir;
    for (const char* name : {"app.log", "app.log.gz", "app.log.zip", "app.log.1", "app.log.1.gz", "app.log.2"})
        Touch(dir, name, name);
    Helper::Rename(W(dir.Wide("app.log.{RollingIndex}")), 1, 3);
    EXPECT_EQ(Files(dir.Path()),
              (std::set<std::string>{"app.log", "app.log.gz", "app.log.zip", "app.log.2", "app.log.2.gz", "app.log.3"}));
    Helper::Delete(W(dir.Wide("app.log.{RollingIndex}")), 3);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.log", "app.log.gz", "app.log.zip"}));
}

// Without an extension the stem variants are the name's own .gz and .zip: a second pass over them would
// shift the compressed files twice and lose one.
TEST(RollingHelper, PatternWithoutExtensionShiftsCompressedFilesOnce)
{
    TempDir dir;
    for (const char* name : {"app-1.gz", "app-2.gz", "app-3.gz"})
        Touch(dir, name, name);
    Helper::Rename(W(dir.Wide("app-{RollingIndex}")), 1, 4);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app-2.gz", "app-3.gz", "app-4.gz"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app-4.gz"), "app-3.gz");
    EXPECT_EQ(ReadFile(dir.Path() / "app-2.gz"), "app-1.gz");
}

TEST(RollingHelper, DeleteRemovesNumbersDownToOneInListOrder)
{
    TempDir dir;
    for (const char* name : {"app.1.log", "app.2.log.gz", "app.2.gz", "app.3.zip", "app.4.log", "keep.log"})
        Touch(dir, name);
    DiagnosticRecorder diagnostics;
    const std::wstring pattern = dir.Wide("app.{RollingIndex}.log");
    Helper::Delete(W(pattern), 3);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.4.log", "keep.log"}));
    const std::string p = Utf8(dir.Path()) + Sep();
    // Plain names from the top down, then each compressed form in the same order: 1 + 15 lines.
    const auto texts = diagnostics.Texts();
    ASSERT_EQ(texts.size(), 16u);
    EXPECT_EQ(texts[1], "Rolling.Helper.Delete, Will Delete (if exist) [" + p + "app.3.log]");
    EXPECT_EQ(texts[4], "Rolling.Helper.Delete, Will Delete (if exist) [" + p + "app.3.log.gz]");
    EXPECT_EQ(texts[15], "Rolling.Helper.Delete, Will Delete (if exist) [" + p + "app.1.zip]");

    diagnostics.Clear();
    Helper::Delete(W(pattern), 0);
    EXPECT_EQ(diagnostics.Texts().size(), 1u);
}

TEST(RollingHelper, ScanAndHighestIndex)
{
    TempDir dir;
    const WString name = W(dir.Wide("app.{RollingIndex}.log"));
    EXPECT_EQ(Helper::HighestIndex(name), 0);
    for (const char* file : {"app.1.log", "app.2.log", "app.4.log"})
        Touch(dir, file);
    EXPECT_EQ(Helper::ScanIndex(name), 2);
    EXPECT_EQ(Helper::HighestIndex(name), 2);

    TempDir compressed;
    const WString other = W(compressed.Wide("app.{RollingIndex}.log"));
    for (const char* file : {"app.1.log.gz", "app.2.log.gz", "app.1.log.zip", "app.2.gz", "app.3.gz"})
        Touch(compressed, file);
    EXPECT_EQ(Helper::HighestIndex(other), 2);  // .gz before .zip; the stem variants do not count
    Quorlin::Rolling::HistoryListing listing;
    EXPECT_EQ(Helper::HighestIndex(other, &listing), 2);
}

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

TEST(RollingHelper, FreeIndexSkipsNumbersWithAnyVariant)
{
    TempDir dir;
    for (const char* file : {"app.1.log.gz", "app.2.log", "app.3.zip"})
        Touch(dir, file);
    const WString name = W(dir.Wide("app.{RollingIndex}.log"));
    EXPECT_EQ(Helper::FreeIndex(name, 2), 4);
    EXPECT_EQ(Helper::FreeIndex(name, 5), 5);
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
