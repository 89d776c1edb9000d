#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingWriter.h"
#include "host/Appender.h"
#include "host/Level.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

class TestAppender : public WriterAppender {
public:
    explicit TestAppender(WriterCalls& calls) : m_Calls(calls) {}
    bool Open() override
    {
        std::unique_ptr<Writer> w;
        CreateWriter(w);
        SetWriter(std::move(w));
        return WriterAppender::Open();
    }
    void CreateWriter(std::unique_ptr<Writer>& writer) override { writer = std::make_unique<CallRecorder>(m_Calls); }
    void NewLine(std::int32_t) override
    {
        if (GetWriter() != nullptr)
            GetWriter()->NewLine();
    }

private:
    WriterCalls& m_Calls;
};

std::vector<std::string> Texts(const WriterCalls& calls)
{
    std::vector<std::string> texts;
    for (const auto& [level, text] : calls.writes)
        texts.push_back(text);
    return texts;
}

LoggingEvent Event(const std::string& text, std::int32_t level)
{
    LoggingEvent e;
    e.m_Message = text.data();
    e.m_MessageLength = static_cast<std::int32_t>(text.size());
    e.m_Level = level;
    return e;
}

}  // namespace

TEST(WriterAppender, WritesHeaderEventsFooterAndRefusesWhenClosedOrBelowThreshold)
{
    WriterCalls record;
    TestAppender appender(record);
    appender.SetLayout(std::make_shared<PatternLayout>("%p:%m"));
    appender.SetOption("header/value", "H\\r\\n");
    appender.SetOption("footer/value", "F\\\\");
    appender.SetOption("threshold/value", "INFO");
    const std::string text = "hello";
    LoggingEvent e = Event(text, LevelInfo);
    appender.Append(&e);  // closed: refused
    ASSERT_TRUE(appender.Open());
    appender.Append(&e);
    LoggingEvent low = Event(text, LevelDebug);
    appender.Append(&low);
    e.m_Layout = false;  // the event asks for its bare message
    appender.Append(&e);
    appender.Close();
    appender.Close();
    EXPECT_EQ(Texts(record), (std::vector<std::string>{"H\r\n", "INFO:hello", "hello", "F\\"}));
    EXPECT_EQ(record.newLines, 2);
    EXPECT_EQ(record.closes, 1);
}

TEST(WriterAppender, FiltersDecideInOrder)
{
    WriterCalls record;
    TestAppender appender(record);
    appender.AddFilter(std::make_shared<LevelRangeFilter>(LevelWarn, LevelError));
    appender.Open();
    const std::string text = "x";
    for (std::int32_t level : {LevelInfo, LevelWarn, LevelError, LevelFatal}) {
        LoggingEvent e = Event(text, level);
        appender.Append(&e);
    }
    EXPECT_EQ(record.writes.size(), 2u);
}

TEST(WriterAppender, EventsLongerThanTheLayoutBufferAreWrittenWhole)
{
    WriterCalls record;
    TestAppender appender(record);
    appender.SetLayout(std::make_shared<PatternLayout>("[%m]"));
    appender.Open();
    const std::string big(200000, 'z');
    LoggingEvent e = Event(big, LevelInfo);
    appender.Append(&e);
    ASSERT_EQ(record.writes.size(), 1u);
    EXPECT_EQ(record.writes[0].second, "[" + big + "]");
    EXPECT_EQ(appender.Rendering(&e), DString(("[" + big + "]").c_str()));
}

TEST(Appender, InstanceNumbersAreDistinctAndUnknownOptionsDoNotChangeAnything)
{
    WriterCalls record;
    TestAppender a(record), b(record);
    EXPECT_NE(a.GetInstanceNumber(), b.GetInstanceNumber());
    EXPECT_TRUE(a.IsClosed());
    a.SetOption("no/such/option", "1");
    a.SetOption("threshold/value", "LOUD");  // not a level: the threshold stays
    EXPECT_EQ(a.GetThreshold(), 0);
}
