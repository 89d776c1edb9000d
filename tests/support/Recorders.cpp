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
    return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; }));
}

bool DiagnosticRecorder::Contains(const std::string& text) const
{
    const auto texts = Texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void RecordingOs::Add(std::string call)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Calls.push_back(std::move(call));
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

bool RecordingOs::AllocateConsole()
{
    Add("AllocateConsole");
    return consoleAllocates;
}

void RecordingOs::ReleaseConsole() { Add("ReleaseConsole"); }

Quorlin::os::ConsoleHandle RecordingOs::StdOutConsole() { return console; }

void RecordingOs::SetConsoleOutputMode(Quorlin::os::ConsoleHandle handle, std::uint32_t mode)
{
    Add("SetConsoleOutputMode|" + std::to_string(handle) + "|" + std::to_string(mode));
}

void RecordingOs::WriteToConsole(Quorlin::os::ConsoleHandle handle, const char* text, std::uint32_t size)
{
    const std::string bytes(text, size);
    Add("WriteToConsole|" + std::to_string(handle) + "|" + bytes);
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Console += bytes;
}

void RecordingOs::PutConsoleText(const char* text)
{
    Add(std::string("PutConsoleText|") + text);
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Console += text;
}

Quorlin::os::EventSource RecordingOs::RegisterSource(const char* source)
{
    Add(std::string("RegisterSource|") + (source == nullptr ? "(null)" : source));
    static int token;
    return sourceRegisters ? &token : nullptr;
}

void RecordingOs::ReportToSource(Quorlin::os::EventSource, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                                 const char* text)
{
    Add("ReportToSource|" + std::to_string(type) + "|" + std::to_string(category) + "|" + std::to_string(eventId) + "|" +
        (text == nullptr ? "(none)" : text));
}

void RecordingOs::DeregisterSource(Quorlin::os::EventSource source)
{
    Add(std::string("DeregisterSource|") + (source == nullptr ? "null" : "handle"));
}

void RecordingOs::DebugOutput(const char* text) { Add(std::string("DebugOutput|") + text); }

void RecordingOs::Beep(std::uint32_t frequency, std::uint32_t milliseconds)
{
    Add("Beep|" + std::to_string(frequency) + "|" + std::to_string(milliseconds));
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

} // namespace QuorlinTest
