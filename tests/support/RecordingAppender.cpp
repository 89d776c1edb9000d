#include "RecordingAppender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "os/Process.h"

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
