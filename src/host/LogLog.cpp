#include "LogLog.h"

#include <cstdio>
#include <mutex>

#include "System.h"

namespace Quorlin {
namespace {

// One line per diagnostic on standard error: "[LEVEL] text".
class StandardErrorLogSink final : public LogSink {
public:
    void Flush(std::int32_t level, const char* text, std::int32_t length) override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        std::fprintf(stderr, "[%d] %.*s\n", level, static_cast<int>(length), text);
    }
    void NewLine() override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        std::fputc('\n', stderr);
    }

private:
    std::mutex m_Mutex;
};

}  // namespace

std::atomic<LogSink*> LogLog::gLogger{nullptr};

LogSink::~LogSink() = default;

void LogLog::Flush(std::int32_t level, const char* text, std::int32_t length)
{
    if (LogSink* sink = gLogger.load(std::memory_order_acquire))
        sink->Flush(level, text, length);
}

void LogLog::NewLine()
{
    if (LogSink* sink = gLogger.load(std::memory_order_acquire))
        sink->NewLine();
}

ORBEK::Utility::DString LogLog::ErrorCodeToString(std::uint32_t code)
{
    const std::string text = Detail::System::ErrorText(code);
    return ORBEK::Utility::DString(text.data(), static_cast<std::int32_t>(text.size()));
}

LogSink* LogLog::SetSink(LogSink* sink) { return gLogger.exchange(sink); }

LogSink* LogLog::StandardErrorSink()
{
    static StandardErrorLogSink sink;
    return &sink;
}

}  // namespace Quorlin
