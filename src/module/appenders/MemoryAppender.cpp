#include "MemoryAppender.h"

#include "diagnostics/Trace.h"

namespace Quorlin {

MemoryAppender::MemoryAppender() { SetTypeName(DString("Appender.Memory")); }

MemoryAppender::~MemoryAppender() { m_Callback = nullptr; }

bool MemoryAppender::Open()
{
    Appender::Open();
    Trace(LevelInfo, "[{$}] Leave MemoryAppender.Open", m_InstanceNumber);
    return true;
}

void MemoryAppender::Close()
{
    Appender::Close();
    Trace(LevelInfo, "[{$}] Leave MemoryAppender.Close", m_InstanceNumber);
}

void MemoryAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event))
        return;
    if (m_Callback)
        m_Callback(*this, *event);
}

}  // namespace Quorlin

extern "C" bool SetMemoryAppenderCallback(Quorlin::Appender* appender,
                                          void (*callback)(void*, Quorlin::Appender*, const Quorlin::LoggingEvent*),
                                          void* context)
{
    auto* memory = dynamic_cast<Quorlin::MemoryAppender*>(appender);
    if (memory == nullptr)
        return false;
    if (callback == nullptr)
        memory->SetCallback(nullptr);
    else
        memory->SetCallback([callback, context](Quorlin::MemoryAppender& self, const Quorlin::LoggingEvent& event) {
            callback(context, &self, &event);
        });
    return true;
}
