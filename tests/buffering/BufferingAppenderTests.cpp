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

TEST(LogPacket, OutlivesTheCallersEventAndTextAndLeavesTheContextSlot)
{
    auto text = std::make_unique<std::string>("message text");
    auto event = std::make_unique<LoggingEvent>();
    event->m_LoggerName = "app.db";
    event->m_Message = text->data();
    event->m_MessageLength = 7;  // "message"
    event->m_Level = 70000;
    event->m_ThreadId = 42;
    event->m_TimeStamp = 0x0123456789abcdefLL;
    event->m_SequenceNumber = -5;
    event->m_Layout = false;
    event->m_ContextSlot = 99;
    event->m_UserData = 0xfeedfacecafebeefULL;

    const LogPacket packet(*event);
    text->assign("XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX");
    text.reset();
    event.reset();

    EXPECT_EQ(packet.m_LoggerName, "app.db");
    EXPECT_EQ(std::string(packet.m_Message, packet.m_MessageLength), "message");
    EXPECT_EQ(packet.m_Message, packet.m_Text.c_str());
    EXPECT_EQ(packet.m_Level, 70000);
    EXPECT_EQ(packet.m_ThreadId, 42);
    EXPECT_EQ(packet.m_TimeStamp, 0x0123456789abcdefLL);
    EXPECT_EQ(packet.m_SequenceNumber, -5);
    EXPECT_FALSE(packet.m_Layout);
    EXPECT_EQ(packet.m_ContextSlot, 0);
    EXPECT_EQ(packet.m_UserData, 0xfeedfacecafebeefULL);
}

TEST(LogPacketQueue, ReusesSpentPacketsWithinItsBoundsAndCopiesEveryFieldAfresh)
{
    LogPacketQueue queue;
    LogPacketQueue::Counts counts;
    std::string longText(static_cast<std::size_t>(LogPacketQueue::kMaxSpareText) + 1, 'x');
    LoggingEvent event;
    event.m_LoggerName = "alpha";
    event.m_Message = "short";
    event.m_MessageLength = 5;
    event.m_ContextSlot = 7;
    for (int i = 0; i < 3; ++i)
        queue.PushCopy(event, counts);
    LogPacketQueue::Packets spent = queue.TakeAll();
    queue.Recycle(spent);
    EXPECT_TRUE(spent.empty());

    // Three spent packets take the next three events without allocating, and hold them whole.
    event.m_LoggerName = "gamma";
    event.m_Message = "a longer message";
    event.m_MessageLength = 16;
    event.m_Level = 60000;
    event.m_ThreadId = 9;
    const std::int64_t before = AllocationsOfThisThread();
    for (int i = 0; i < 3; ++i)
        queue.PushCopy(event, counts);
    // A longer message grows the reused text once per packet, and nothing else allocates.
    EXPECT_LE(AllocationsOfThisThread() - before, 3);
    spent = queue.TakeAll();
    ASSERT_EQ(spent.size(), 3u);
    for (const auto& packet : spent) {
        EXPECT_EQ(packet->m_LoggerName, "gamma");
        EXPECT_EQ(std::string(packet->m_Message, packet->m_MessageLength), "a longer message");
        EXPECT_EQ(packet->m_Message, packet->m_Text.c_str());
        EXPECT_EQ(packet->m_Level, 60000);
        EXPECT_EQ(packet->m_ThreadId, 9);
        EXPECT_EQ(packet->m_ContextSlot, 0);
    }
    queue.Recycle(spent);
    const std::int64_t reused = AllocationsOfThisThread();
    queue.PushCopy(event, counts);
    EXPECT_EQ(AllocationsOfThisThread(), reused);
    queue.Clear();

    // A packet with a long text is not kept: its memory goes back at once.
    event.m_Message = longText.data();
    event.m_MessageLength = static_cast<std::int32_t>(longText.size());
    LogPacketQueue fresh;
    fresh.PushCopy(event, counts);
    spent = fresh.TakeAll();
    fresh.Recycle(spent);
    event.m_Message = "s";
    event.m_MessageLength = 1;
    const std::int64_t dropped = AllocationsOfThisThread();
    fresh.PushCopy(event, counts);
    EXPECT_GT(AllocationsOfThisThread(), dropped);
}

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

TEST(BufferingAppender, DefaultsAndTheSixteenthEventSends)
{
    OpenBuffer b;
    EXPECT_EQ(b.appender.GetType(), "Appender.Buffering");
    EXPECT_EQ(b.appender.GetLimitOfPkt(), 16);
    EXPECT_EQ(b.appender.GetLimitOfBytes(), 10'485'760);
    for (int i = 1; i <= 15; ++i)
        Log(b.appender, "event " + std::to_string(i));
    EXPECT_TRUE(b.appender.waitingAtSend.empty());
    EXPECT_EQ(b.appender.GetNbOfPackets(), 15u);
    Log(b.appender, "event 16");
    EXPECT_EQ(b.appender.waitingAtSend, std::vector<std::size_t>{16});
    EXPECT_EQ(b.appender.GetNbOfPackets(), 0u);
    EXPECT_EQ(b.appender.GetNbOfBytes(), 0);
}

TEST(BufferingAppender, RefusedEventsChangeNeitherCount)
{
    CountingBuffer appender;
    Log(appender, "closed");
    appender.Open();
    appender.SetOption("threshold/value", "WARN");
    Log(appender, "too low", 50000);
    appender.AddFilter(std::make_shared<LevelRangeFilter>(80000, 90000));
    Log(appender, "filtered", 70000);
    EXPECT_EQ(appender.GetNbOfPackets(), 0u);
    EXPECT_EQ(appender.GetNbOfBytes(), 0);
    Log(appender, "taken", 80000);
    Log(appender, "", 80000);  // an empty message is still a packet, worth no bytes
    EXPECT_EQ(appender.GetNbOfPackets(), 2u);
    EXPECT_EQ(appender.GetNbOfBytes(), 5);
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

TEST(BufferingAppender, OptionsMatchTheStartOfTheKeyIgnoringCaseAndReportWhatIsStored)
{
    DiagnosticRecorder recorder;
    CountingBuffer appender;
    appender.SetOption("LIMITOFLOGPACKET/VALUE", "200000000");
    EXPECT_EQ(appender.GetLimitOfPkt(), 100'663'296);
    appender.SetOption("limitOfMB/value", "1");
    EXPECT_EQ(appender.GetLimitOfBytes(), 1'048'576);
    appender.SetOption("limitoflogpacket/value.extra", "7");
    EXPECT_EQ(appender.GetLimitOfPkt(), 7);
    appender.SetOption("my.limitOfLogPacket/value", "9");  // text in front: the framework's, unknown there
    EXPECT_EQ(appender.GetLimitOfPkt(), 7);
    EXPECT_TRUE(recorder.Contains("BufferingAppender.SetOption, m_LimitOfBytes : 1048576 (1 MB)"));  // what is stored
    EXPECT_EQ(recorder.Texts().size(), 3u);  // nothing for the unknown key
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

TEST(BufferingAppender, CloseKeepsThePacketsForDestructionAndWritesItsMessages)
{
    DiagnosticRecorder recorder;
    auto appender = std::make_unique<CountingBuffer>();
    const std::string n = std::to_string(appender->GetInstanceNumber());
    appender->Open();
    Log(*appender, "kept");
    appender->Close();
    EXPECT_TRUE(appender->IsClosed());
    EXPECT_EQ(appender->GetNbOfPackets(), 1u);
    EXPECT_TRUE(appender->waitingAtSend.empty());
    EXPECT_TRUE(recorder.Contains("[" + n + "] Leave BufferingAppender.Close"));
    appender.reset();  // the leak checker sees the packet destroyed with the appender
}
