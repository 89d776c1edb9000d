#include "Recorders.h"

#include <algorithm>

#include "utility/ThreadPool.h"

namespace QuorlinTest {

std::vector<std::string> DiagnosticRecorder::Texts() const
{
    std::vector<std::string> texts;
    for (const Diagnostic& d : Lines())
        if (d.level != 0)
            texts.push_back(d.text);
    return texts;
}

int Mentions(const std::vector<std::string>& texts, const std::string& part)
{
    return static_cast<int>(
        std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; }));
}

bool DiagnosticRecorder::Contains(const std::string& text) const
{
    const auto texts = Texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void RecordingOs::Add(const std::string& call, const std::string& console)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.push_back(call + console);
    m_Console += console;
}

std::vector<std::string> RecordingOs::Calls() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Calls;
}

std::string RecordingOs::ConsoleBytes() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Console;
}

void RecordingOs::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.clear();
    m_Console.clear();
}

Quorlin::os::EventSource RecordingOs::RegisterSource(const char* source)
{
    Add(std::string("RegisterSource|") + (source == nullptr ? "(null)" : source));
    static int token;
    return sourceRegisters ? &token : nullptr;
}

void RecordingOs::ReportToSource(EventSource, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text)
{
    Add("ReportToSource|" + std::to_string(type) + "|" + std::to_string(category) + "|" + std::to_string(eventId) + "|" +
        (text == nullptr ? "(none)" : text));
}

void SleepRecorder::SleepMs(std::uint32_t milliseconds)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Sleeps.push_back(milliseconds);
    }
    if (m_OnSleep)
        m_OnSleep();
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

}  // namespace

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

}  // namespace QuorlinTest
