#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "AllocationCounter.h"
#include "Recorders.h"
#include "diagnostics/Trace.h"
#include "host/ThreadContext.h"

using namespace Quorlin;
using QuorlinTest::DiagnosticRecorder;

namespace {

template <typename... A>
std::string F(const char* pattern, const A&... args)
{
    char buffer[256];
    const TraceArg list[] = {TraceArg(args)..., TraceArg(0)};
    const std::int32_t n = FormatTrace(buffer, 200, pattern, list, static_cast<std::int32_t>(sizeof...(A)));
    EXPECT_EQ(buffer[n], '\0');
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

TEST(Trace, PlaceholdersSequentialNumberedAndInvalid)
{
    EXPECT_EQ(F("[{$}] Leave MemoryAppender.Open", 3), "[3] Leave MemoryAppender.Open");
    EXPECT_EQ(F("{$}-{$}", 7, 9), "7-9");
    EXPECT_EQ(F("{1}/{0}", 7, 9), "9/7");
    EXPECT_EQ(F("{1}{$}", 7, 9, 11), "911");  // the counter follows the last number
    EXPECT_EQ(F("a{}b{$}", 5), "ab5");        // after an invalid placeholder {$} is 0 again
    EXPECT_EQ(F("{5}", 1), "");
    EXPECT_EQ(F("{x1}", 4, 8), "8");                                        // characters before the first digit are ignored
    EXPECT_EQ(F("{123}", 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12), "12");  // two digits at most
    EXPECT_EQ(F("end {$", 1), "end 1");                                     // the template's end closes a placeholder
    EXPECT_EQ(F("no placeholders"), "no placeholders");
}

TEST(Trace, IntegerFormatParts)
{
    EXPECT_EQ(F("{$:x08}", 255), "000000ff");
    EXPECT_EQ(F("{$:X}", 255), "FF");
    EXPECT_EQ(F("{$:c}", 65), "A");
    EXPECT_EQ(F("{$:F2}", 3), "3.00");
    EXPECT_EQ(F("{$:f}", 3), "3.000000");
    EXPECT_EQ(F("[{$:d5}]", -42), "[  -42]");
    EXPECT_EQ(F("{$:D}/{$:U}", 7, 8u), "7/8");
    EXPECT_EQ(F("{$:q}", 7), "");  // an unknown letter writes nothing
    EXPECT_EQ(F("{$}", -2147483647 - 1), "-2147483648");
    EXPECT_EQ(F("{$}", std::uint64_t{18446744073709551615ull}), "18446744073709551615");
    EXPECT_EQ(F("{$:x}", std::uint64_t{0x123456789abull}), "123456789ab");
    EXPECT_EQ(F("{$}", std::int64_t{-5000000000}), "-5000000000");
}

TEST(Trace, StringFormatParts)
{
    EXPECT_EQ(F("[{$:-6}]", "ab"), "[ab    ]");
    EXPECT_EQ(F("[{$:6}]", "ab"), "[    ab]");
    EXPECT_EQ(F("[{$:+6}]", "ab"), "[    ab]");
    EXPECT_EQ(F("[{$:2}]", "abcdef"), "[abcdef]");
    EXPECT_EQ(F("[{$}]", static_cast<const char*>(nullptr)), "[null]");
    EXPECT_EQ(F("[{$}]", DString()), "[]");
    EXPECT_EQ(F("[{$}]", ORBEK::Utility::StringView("abcdef", 3)), "[abc]");  // exactly its length
    EXPECT_EQ(F("[{$}]", WString(L"C:\\x\u00e9.log")), "[C:\\x\xc3\xa9.log]");
}

TEST(Trace, WritingStopsAtTheCapacity)
{
    char buffer[16];
    const TraceArg args[] = {TraceArg("0123456789")};
    EXPECT_EQ(FormatTrace(buffer, 8, "ab{$}cd", args, 1), 8);
    EXPECT_STREQ(buffer, "ab012345");
    const TraceArg number[] = {TraceArg(123456)};
    EXPECT_EQ(FormatTrace(buffer, 5, "ab{$}", number, 1), 2);  // a number that does not fit is left out
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(FormatTrace(buffer, 8, nullptr, args, 1), 0);
}

TEST(Trace, FixedTextLongerThanTheBufferIsCut)
{
    DiagnosticRecorder recorder;
    const std::string text(ThreadContext::TLSInternal::Size() + 100, 'a');
    Trace(50000, text.c_str());
    Trace(50000, "{$}", text);
    const auto lines = recorder.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.size(), static_cast<std::size_t>(ThreadContext::TLSInternal::Size() - 4));
    EXPECT_EQ(lines[1].text.size(), static_cast<std::size_t>(ThreadContext::TLSInternal::Size() - 4));
}

namespace {
// Keeps only the last line, in a fixed buffer, so that the sink itself allocates nothing.
class LastLineSink : public LogSink {
public:
    void Flush(std::int32_t, const char* text, std::int32_t length) override
    {
        m_Length = length < 255 ? length : 255;
        std::memcpy(m_Last, text, static_cast<std::size_t>(m_Length));
        ++m_Count;
    }
    void NewLine() override {}
    std::string Last() const { return std::string(m_Last, static_cast<std::size_t>(m_Length)); }
    int m_Count = 0;

private:
    char m_Last[256] = {};
    std::int32_t m_Length = 0;
};
}  // namespace

TEST(Trace, FrameworkBufferPathAllocatesNothing)
{
    LastLineSink sink;
    LogSink* previous = LogLog::SetSink(&sink);
    Trace(50000, "warm {$}", 1);  // first use of the thread's buffers
    const DString text("some text");
    const WString wide(L"C:\\logs\\app.log");
    const std::int64_t before = QuorlinTest::AllocationsOfThisThread();
    for (int i = 0; i < 100; ++i) {
        Trace(50000, "[{$}] {$:x08} {$:-12}|{$:F2}", i, 255, text, 7);
        Trace(50000, "{$} and {1}", wide, 3);
        Trace(50000, "fixed text");
    }
    const std::int64_t allocations = QuorlinTest::AllocationsOfThisThread() - before;
    LogLog::SetSink(previous);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(sink.m_Count, 301);
    EXPECT_EQ(sink.Last(), "fixed text");
}
