#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "AllocationCounter.h"
#include "RecordingAppender.h"
#include "Recorders.h"
#include "buffering/BufferingAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

// Counts the SendBuffer calls and what was waiting at each, then discards like the base.
class CountingBuffer : public BufferingAppender {
public:
    void SendBuffer() override
    {
        waitingAtSend.push_back(GetNbOfPackets());
        BufferingAppender::SendBuffer();
    }
    std::vector<std::size_t> waitingAtSend;
};

struct OpenBuffer {
    OpenBuffer() { appender.Open(); }
    CountingBuffer appender;
};

}  // namespace

TEST(LogPacketQueue, TakesOneOrManyInOrderAndSealsInOneStep)
{
    LogPacketQueue queue;
    LogPacketQueue::Counts counts;
    auto packet = [](const char* text) {
        LoggingEvent e;
        e.m_Message = text;
        e.m_MessageLength = static_cast<std::int32_t>(std::char_traits<char>::length(text));
        return std::make_unique<LogPacket>(e);
    };
    ASSERT_TRUE(queue.Push(packet("ab"), counts));
    EXPECT_EQ(counts.packets, 1u);
    EXPECT_EQ(counts.bytes, 2);

    std::unique_ptr<LogPacket> single;
    LogPacketQueue::Packets many;
    EXPECT_EQ(queue.Take(single, many), 1u);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->m_Text, "ab");
    EXPECT_TRUE(many.empty());
    EXPECT_EQ(queue.GetCounts().bytes, 0);

    queue.Push(packet("c"), counts);
    queue.Push(packet("de"), counts);
    EXPECT_EQ(counts.bytes, 3);
    single.reset();
    EXPECT_EQ(queue.Take(single, many), 2u);
    EXPECT_FALSE(single);
    ASSERT_EQ(many.size(), 2u);
    EXPECT_EQ(many[0]->m_Text, "c");
    EXPECT_EQ(many[1]->m_Text, "de");

    queue.Push(packet("f"), counts);
    LogPacketQueue::Packets rest = queue.Seal();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_FALSE(queue.Push(packet("refused"), counts));
    EXPECT_EQ(queue.Size(), 0u);
    queue.Unseal();
    EXPECT_TRUE(queue.Push(packet("g"), counts));
    EXPECT_EQ(queue.TakeAll().size(), 1u);
}

TEST(BufferingAppender, PacketLimitZeroSendsEveryEventAndMinusOneLeavesTheByteLimit)
{
    OpenBuffer zero;
    zero.appender.SetOption("limitOfLogPacket/value", "0");
    Log(zero.appender, "a");
    Log(zero.appender, "");
    EXPECT_EQ(zero.appender.waitingAtSend, (std::vector<std::size_t>{1, 1}));

    OpenBuffer minusOne;
    minusOne.appender.SetOption("limitOfLogPacket/value", "-1");
    minusOne.appender.SetOption("limitOfMB/value", "1");
    const std::string half(524'288, 'h');
    for (int i = 0; i < 100; ++i)
        Log(minusOne.appender, "");
    Log(minusOne.appender, half);
    Log(minusOne.appender, half);  // exactly 1 MB waiting: not more than the limit yet
    EXPECT_TRUE(minusOne.appender.waitingAtSend.empty());
    Log(minusOne.appender, "x");
    EXPECT_EQ(minusOne.appender.waitingAtSend, std::vector<std::size_t>{103});
    EXPECT_EQ(minusOne.appender.GetNbOfBytes(), 0);
}

TEST(BufferingAppender, MegabytesBeyondTheInt32RangeAreClampedWithADiagnostic)
{
    DiagnosticRecorder recorder;
    CountingBuffer appender;
    appender.SetOption("limitOfMB/value", "2047");
    EXPECT_EQ(appender.GetLimitOfBytes(), 2047 * 1'048'576);
    appender.SetOption("limitOfMB/value", "-2048");
    EXPECT_EQ(appender.GetLimitOfBytes(), INT32_MIN);
    EXPECT_EQ(recorder.Texts().size(), 2u);  // both fit: no correction

    recorder.Clear();
    appender.SetOption("limitOfMB/value", "3000");
    EXPECT_EQ(appender.GetLimitOfBytes(), INT32_MAX);
    appender.SetOption("limitOfMB/value", "-99999999999");
    EXPECT_EQ(appender.GetLimitOfBytes(), INT32_MIN);
    EXPECT_TRUE(recorder.Contains(
        "BufferingAppender.SetOption, limitOfMB/value 3000 is out of range, m_LimitOfBytes clamped to 2147483647"));

    // A negative byte limit sends after every accepted event, even an empty one.
    appender.Open();
    Log(appender, "");
    Log(appender, "a");
    EXPECT_EQ(appender.waitingAtSend, (std::vector<std::size_t>{1, 1}));
}
