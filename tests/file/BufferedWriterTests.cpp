#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "file/FileWriter.h"

using namespace Quorlin;

namespace {

struct Calls {
    std::vector<std::pair<int, std::string>> writes;  // (level, text)
    int closes = 0;
};

class RecordingWriter : public Writer {
public:
    explicit RecordingWriter(Calls& calls) : m_Calls(calls) {}
    void Close() override { ++m_Calls.closes; }
    void Flush() override {}
    void NewLine() override { m_Calls.writes.push_back({-1, "NL"}); }
    void Write(std::int32_t level, const char* a, std::int32_t an, const char* b, std::int32_t bn) override
    {
        std::string text;
        if (a != nullptr && an > 0)
            text.append(a, static_cast<std::size_t>(an));
        if (b != nullptr && bn > 0)
            text.append(b, static_cast<std::size_t>(bn));
        m_Calls.writes.push_back({level, text});
    }

private:
    Calls& m_Calls;
};

} // namespace

TEST(BufferedWriter, AWriteLargerThanTheCapacityFlushesThenBypasses)
{
    Calls calls;
    BufferedWriter writer(std::make_unique<RecordingWriter>(calls), 8192);
    writer.Write(3, "ab", 2, nullptr, 0);
    const std::string big(10000, 'b');
    writer.Write(5, big.data(), 10000, nullptr, 0);
    ASSERT_EQ(calls.writes.size(), 2u);
    EXPECT_EQ(calls.writes[0], (std::pair<int, std::string>(5, "ab")));
    EXPECT_EQ(calls.writes[1], (std::pair<int, std::string>(5, big)));
    EXPECT_EQ(writer.BufferedLength(), 0);
}

TEST(BufferedWriter, BatchesUntilTheNextWriteWouldOverflow)
{
    Calls calls;
    BufferedWriter writer(std::make_unique<RecordingWriter>(calls), 8192);
    const std::string a(3000, 'a'), b(3000, 'b'), c(3000, 'c');
    writer.Write(0, a.data(), 3000, nullptr, 0);
    writer.Write(0, b.data(), 3000, nullptr, 0);
    EXPECT_TRUE(calls.writes.empty());
    writer.Write(0, c.data(), 3000, nullptr, 0);
    ASSERT_EQ(calls.writes.size(), 1u);
    EXPECT_EQ(calls.writes[0].second, a + b);
    EXPECT_EQ(writer.BufferedLength(), 3000);
}

TEST(BufferedWriter, LineEndsAreBufferedAndCloseFlushesThenClosesOnce)
{
    Calls calls;
    auto writer = std::make_unique<BufferedWriter>(std::make_unique<RecordingWriter>(calls), 64);
    writer->Write(0, "one", 3, "+two", 4);
    writer->NewLine();
    writer->Flush();
    writer->Flush();  // nothing left: no empty write
    writer->Write(0, "three", 5, nullptr, 0);
    writer->Close();
    EXPECT_EQ(calls.writes, (std::vector<std::pair<int, std::string>>{{0, "one+two\r\n"}, {0, "three"}}));
    EXPECT_EQ(calls.closes, 1);
    writer->Write(0, "left", 4, nullptr, 0);
    writer.reset();  // destruction discards, never flushes
    EXPECT_EQ(calls.writes.size(), 2u);
}

TEST(RollingFileWriter, CountsOnlyTheLengthsThatReachedTheFile)
{
    struct Counter : WrittenBytesCounter {
        void AddWrittenBytes(std::uint64_t bytes) override { total += bytes; }
        std::uint64_t total = 0;
    } counter;
    RollingFileWriter writer(&counter);
    // Not open: the writes fail and count nothing, so that a file that cannot grow does not roll over.
    writer.Write(0, "abc", 3, "de", 2);
    writer.Write(0, nullptr, 0, "f", 1);
    EXPECT_EQ(counter.total, 0u);
    EXPECT_TRUE(writer.LastWriteFailed());
    QuorlinTest::TempDir dir;
    ASSERT_TRUE(writer.Open(WString(dir.Wide("w.log").c_str())));
    writer.Write(0, "abc", 3, "de", 2);
    writer.NewLine();  // line ends are counted only when they arrive through Write
    EXPECT_FALSE(writer.LastWriteFailed());
    EXPECT_EQ(counter.total, 5u);
    writer.Close();
}
