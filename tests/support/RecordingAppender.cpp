#include "RecordingAppender.h"

#include <gtest/gtest.h>

#include "RunChecks.h"
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

void RecordingAppender::Record(std::string call)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.push_back(std::move(call));
}

bool RecordingAppender::Open()
{
    Record("Open");
    return Appender::Open();
}

void RecordingAppender::Close()
{
    Record("Close");
    Appender::Close();
}

void RecordingAppender::SetOption(const Quorlin::DString& key, const Quorlin::DString& value)
{
    Record("SetOption|" + std::string(key.StdView()) + "|" + std::string(value.StdView()));
}

void RecordingAppender::ActivateOptions() { Record("ActivateOptions"); }

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

bool Eventually(const std::function<bool()>& done) { return WaitFor(done, 60, 2); }

}  // namespace QuorlinTest
