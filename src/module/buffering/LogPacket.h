#pragma once
// One buffered event: a private copy of a LoggingEvent that owns its message text.

#include "host/LoggingEvent.h"
#include "utility/DString.h"

namespace Quorlin {

struct LogPacket : LoggingEvent {
    // Value-initialised: numbers zero, both strings empty.
    LogPacket() = default;
    // Copies the event field by field; the message text is copied into m_Text and the event part
    // points there, so the packet outlives the caller's event and text. m_ContextSlot stays zero.
    explicit LogPacket(const LoggingEvent& event);
    // Makes this packet a copy of `event` as the constructor does, reusing the storage of its strings.
    void Refill(const LoggingEvent& event);
    // The event part points into m_Text: a packet stays where it was built.
    LogPacket(const LogPacket&) = delete;
    LogPacket& operator=(const LogPacket&) = delete;

    ORBEK::Utility::DString m_Text;
};

}  // namespace Quorlin
