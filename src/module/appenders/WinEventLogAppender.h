#pragma once
// "Appender.WindowsEventLog": each rendered event to the system's event log (syslog on POSIX).

#include <cstdint>
#include <memory>

#include "host/Appender.h"
#include "os/SystemLog.h"

namespace Quorlin {

// Owns one registered event source (possibly null) and deregisters it.
class EventSourceHandle {
public:
    explicit EventSourceHandle(os::EventSource source) : m_Source(source) {}
    ~EventSourceHandle() { os::DeregisterSource(m_Source); }
    EventSourceHandle(const EventSourceHandle&) = delete;
    EventSourceHandle& operator=(const EventSourceHandle&) = delete;
    os::EventSource Get() const { return m_Source; }

private:
    os::EventSource m_Source;
};

class WinEventLogAppender : public Appender {
public:
    WinEventLogAppender();
    ~WinEventLogAppender() override;
    // Registers the source (a new one replaces, and so deregisters, any previous one); always true.
    bool Open() override;
    void Close() override;
    // Information below LevelWarn, warning below LevelError, error from LevelError up; category, event id, one string.
    void Append(const LoggingEvent* event) override;
    // "source/value", "categoryID/value" (low 16 bits), "eventID/value" (key begins with).
    void SetOption(const DString& key, const DString& value) override;

    std::uint16_t GetCategory() const { return m_Category; }
    std::uint32_t GetEventId() const { return m_EventId; }
    const DString& GetSource() const { return m_Source; }

private:
    std::uint16_t m_Category = 0;
    std::uint32_t m_EventId = 0;
    DString m_Source;
    std::unique_ptr<EventSourceHandle> m_Handle;
};

}  // namespace Quorlin
