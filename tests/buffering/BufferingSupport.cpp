#include "BufferingSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "os/Process.h"
#include "utility/ThreadPool.h"

namespace QuorlinTest {

RecordingAppender::RecordingAppender(const char* name)
{
    SetName(Quorlin::DString(name));
    SetTypeName(Quorlin::DString("Test.Recording"));
}

void RecordingAppender::Append(const Quorlin::LoggingEvent* event)
{
    if (Refuses(event))
        return;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Events.push_back({std::string(event->m_Message, static_cast<std::size_t>(event->m_MessageLength)), event->m_Level,
                            Quorlin::os::CurrentThreadId()});
    }
    if (onAppend)
        onAppend(*event);
}

bool RecordingAppender::Open()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Calls.push_back("Open");
    }
    return Appender::Open();
}

void RecordingAppender::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Calls.push_back("Close");
    }
    Appender::Close();
}

void RecordingAppender::SetOption(const Quorlin::DString& key, const Quorlin::DString& value)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.push_back("SetOption|" + std::string(key.StdView()) + "|" + std::string(value.StdView()));
}

void RecordingAppender::ActivateOptions()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.push_back("ActivateOptions");
}

std::vector<Delivered> RecordingAppender::Events() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Events;
}

std::vector<std::string> RecordingAppender::Messages() const
{
    std::vector<std::string> messages;
    for (const Delivered& d : Events())
        messages.push_back(d.message);
    return messages;
}

std::vector<std::string> RecordingAppender::Calls() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Calls;
}

void SleepRecorder::SleepMs(std::uint32_t milliseconds)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Sleeps.push_back(milliseconds);
}

std::vector<std::uint32_t> SleepRecorder::Sleeps() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Sleeps;
}

namespace {

std::mutex g_PoolLogMutex;
std::vector<std::string> g_PoolLog;
bool g_PoolLogOn = false;

} // namespace

PoolLogRecorder::PoolLogRecorder() : m_Previous(ORBEK::Utility::Manager::GetLogger())
{
    {
        std::lock_guard<std::mutex> lock(g_PoolLogMutex);
        g_PoolLog.clear();
        g_PoolLogOn = true;
    }
    ORBEK::Utility::Manager::SetLogger(&Record);
}

PoolLogRecorder::~PoolLogRecorder()
{
    ORBEK::Utility::Manager::SetLogger(m_Previous);
    std::lock_guard<std::mutex> lock(g_PoolLogMutex);
    g_PoolLogOn = false;
}

void PoolLogRecorder::Record(int, const char* text)
{
    std::lock_guard<std::mutex> lock(g_PoolLogMutex);
    if (g_PoolLogOn)
        g_PoolLog.emplace_back(text);
}

std::vector<std::string> PoolLogRecorder::Lines() const
{
    std::lock_guard<std::mutex> lock(g_PoolLogMutex);
    return g_PoolLog;
}

int PoolLogRecorder::Count(const std::string& text) const
{
    int n = 0;
    for (const std::string& line : Lines())
        n += line == text ? 1 : 0;
    return n;
}

void Log(Quorlin::Appender& appender, const std::string& message, std::int32_t level)
{
    Quorlin::LoggingEvent event;
    event.m_LoggerName = "test";
    event.m_Message = message.data();
    event.m_MessageLength = static_cast<std::int32_t>(message.size());
    event.m_Level = level;
    appender.Append(&event);
}

std::string CloseQuietly(Quorlin::Appender& appender)
{
    testing::internal::CaptureStdout();
    appender.Close();
    return testing::internal::GetCapturedStdout();
}

bool Eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace QuorlinTest
