#include "NullAppender.h"

#include <cstdio>

#include "diagnostics/Trace.h"
#include "host/ThreadContext.h"
#include "os/Clock.h"

namespace Quorlin {

NullAppender::NullAppender() { SetTypeName(DString("Appender.Null")); }

bool NullAppender::Open()
{
    m_nCount.Reset();
    return Appender::Open();
}

void NullAppender::Close()
{
    const DString line = Format("NullAppender.Close, m_nCount={$}", GetCount());
    TraceText(LevelInfo, line);
    std::fwrite(line.c_str(), 1, static_cast<std::size_t>(line.GetLength()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    Appender::Close();
}

void NullAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event))
        return;
    const Layout* layout = GetLayout().get();
    if (event->m_Layout && layout != nullptr)
        layout->Format(ThreadContext::TLSLayout::Get(), ThreadContext::TLSLayout::Size(), event);
    m_nCount.Add();
    if (m_msSleep > 0)
        os::SleepMs(static_cast<std::uint32_t>(m_msSleep));
}

void NullAppender::SetOption(const DString& key, const DString& value)
{
    if (key.Find("sleep/value") == 0) {
        m_msSleep = value.To<int>();
        Trace(LevelInfo, "NullAppender.SetOption, m_msSleep : {$}", m_msSleep);
        return;
    }
    Appender::SetOption(key, value);
}

}  // namespace Quorlin
