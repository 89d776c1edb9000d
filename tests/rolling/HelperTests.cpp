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

TEST(RollingHelper, RenameShiftsEveryVariantOnce)
{
    // Each file holds its own first name; `after` maps what is left to what it holds.
    struct Row {
        const char* pattern;
        std::vector<const char*> files;
        const char* readOnly;
        int from, to;
        std::map<std::string, std::string> after;
    };
    const Row rows[] = {
        // Across gaps: app.3.log.gz had no app.2.log.gz to replace it, so it is gone.
        {"app.{RollingIndex}.log",
         {"app.1.log", "app.2.log", "app.1.log.gz", "app.3.log.gz", "app.1.zip", "app.2.log.zip"},
         nullptr,
         1,
         3,
         {{"app.2.log", "app.1.log"},
          {"app.3.log", "app.2.log"},
          {"app.2.log.gz", "app.1.log.gz"},
          {"app.2.zip", "app.1.zip"},
          {"app.3.log.zip", "app.2.log.zip"}}},
        // The top of the window is replaced even when read-only.
        {"app.{RollingIndex}.log",
         {"app.1.log", "app.2.log", "app.3.log"},
         "app.3.log",
         1,
         3,
         {{"app.2.log", "app.1.log"}, {"app.3.log", "app.2.log"}}},
        {"app.{RollingIndex}.log", {"app.5.log"}, nullptr, 5, 5, {{"app.5.log", "app.5.log"}}},
        // Every stem is app.log, so app.log.gz is no member of any numbered family.
        {"app.log.{RollingIndex}",
         {"app.log", "app.log.gz", "app.log.zip", "app.log.1", "app.log.1.gz", "app.log.2"},
         nullptr,
         1,
         3,
         {{"app.log", "app.log"},
          {"app.log.gz", "app.log.gz"},
          {"app.log.zip", "app.log.zip"},
          {"app.log.2", "app.log.1"},
          {"app.log.2.gz", "app.log.1.gz"},
          {"app.log.3", "app.log.2"}}},
        // Without an extension the stem variants are the name's own .gz and .zip: a second pass over them
        // would shift the compressed files twice and lose one.
        {"app-{RollingIndex}",
         {"app-1.gz", "app-2.gz", "app-3.gz"},
         nullptr,
         1,
         4,
         {{"app-2.gz", "app-1.gz"}, {"app-3.gz", "app-2.gz"}, {"app-4.gz", "app-3.gz"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.pattern) + " " + std::to_string(row.from) + ".." + std::to_string(row.to));
        TempDir dir;
        for (const char* name : row.files)
            Touch(dir, name, name);
        if (row.readOnly)
            ASSERT_TRUE(Quorlin::os::SetReadOnly(dir.Wide(row.readOnly)).Ok());
        DiagnosticRecorder diagnostics;
        Helper::Rename(W(dir.Wide(row.pattern)), row.from, row.to);
        std::map<std::string, std::string> after;
        for (const std::string& name : Files(dir.Path()))
            after[name] = ReadFile(dir.Path() / name);
        EXPECT_EQ(after, row.after);
        if (row.from == row.to)
            EXPECT_EQ(diagnostics.Texts().size(), 1u);  // the entry line only
    }
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

    // app.log.{RollingIndex}: the base name's own compressed files belong to no number.
    TempDir extension;
    for (const char* name : {"app.log", "app.log.gz", "app.log.zip", "app.log.2", "app.log.2.gz", "app.log.3"})
        Touch(extension, name);
    Helper::Delete(W(extension.Wide("app.log.{RollingIndex}")), 3);
    EXPECT_EQ(Files(extension.Path()), (std::set<std::string>{"app.log", "app.log.gz", "app.log.zip"}));
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
