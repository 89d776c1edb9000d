#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Recorders.h"
#include "TempDir.h"
#include "network/DiskSpool.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

std::string RecordNumber(int i) { return "record " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'x'); }

RecordBatch Numbered(int from, int to)
{
    RecordBatch batch;
    for (int i = from; i < to; ++i)
        batch.Add(RecordNumber(i));
    return batch;
}

// Reads everything the spool holds, delivering `perRead` at a time; checks the numbers from `next`.
int Drain(DiskSpool& spool, int next)
{
    RecordBatch batch;
    while (spool.Read(batch, 5000) > 0) {
        for (std::size_t i = 0; i < batch.Count(); ++i)
            EXPECT_EQ(batch.Record(i), RecordNumber(next++));
        spool.Delivered(batch.Count());
        batch.Clear();
    }
    return next;
}

}  // namespace

TEST(DiskSpool, ReplaysInOrderAcrossSegmentsAndRunsAndRemovesWhatWasDelivered)
{
    TempDir dir;
    const std::wstring folder = dir.Wide("spool");
    {
        DiskSpool spool(folder, L"central", 1 << 20, 1);
        std::string error;
        ASSERT_TRUE(spool.Open(error)) << error;
        ASSERT_EQ(spool.Write(Numbered(0, 3000)), 3000u);  // ~200 KB: 128 KB segments
        EXPECT_GE(std::distance(std::filesystem::directory_iterator(dir.Path() / "spool"), {}), 2);
        RecordBatch batch;
        ASSERT_GT(spool.Read(batch, 1000), 3u);
        spool.Delivered(3);
        spool.Keep();  // the stop: records 0-2 are gone, the rest stays for the next run
    }
    DiskSpool again(folder, L"central", 1 << 20, 1);
    std::string error;
    ASSERT_TRUE(again.Open(error));
    ASSERT_EQ(again.Write(Numbered(3000, 3100)), 100u);  // behind what the earlier run left
    EXPECT_EQ(Drain(again, 3), 3100);
    EXPECT_TRUE(again.Empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "spool"), {}), 0);
}

TEST(DiskSpool, StopsAtItsLimitAndDropsATornRecordWithADiagnostic)
{
    TempDir dir;
    DiskSpool spool(dir.Wide("spool"), L"central", 64 * 1024, 1);
    std::string error;
    ASSERT_TRUE(spool.Open(error));
    const std::size_t taken = spool.Write(Numbered(0, 3000));
    EXPECT_GT(taken, 100u);
    EXPECT_LT(taken, 3000u);
    EXPECT_LE(spool.Bytes(), 64u * 1024);

    // A write cut short by a crash: the last frame of the newest segment lacks its end.
    DiskSpool writer(dir.Wide("torn"), L"central", 1 << 20, 1);
    ASSERT_TRUE(writer.Open(error));
    ASSERT_EQ(writer.Write(Numbered(0, 10)), 10u);
    writer.Keep();
    std::filesystem::path segment = *std::filesystem::directory_iterator(dir.Path() / "torn");
    std::string content = ReadFile(segment);
    WriteFile(segment, content.substr(0, content.size() - 5));
    DiagnosticRecorder diagnostics;
    DiskSpool reader(dir.Wide("torn"), L"central", 1 << 20, 1);
    ASSERT_TRUE(reader.Open(error));
    EXPECT_EQ(Drain(reader, 0), 9);
    EXPECT_EQ(diagnostics.Mentions("bytes that are no whole record"), 1);
}
