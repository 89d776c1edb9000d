#include "../SystemLog.h"

#include "../Native.h"
#include "Win32.h"

namespace Quorlin::os {

EventSource native::RegisterSource(const char* source) { return ::RegisterEventSourceA(nullptr, source); }

void native::ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                            const char* text)
{
    if (!source)
        return;
    const char* strings[] = {text};
    ::ReportEventA(source, type, category, eventId, nullptr, text ? 1 : 0, 0, text ? strings : nullptr, nullptr);
}

void native::DeregisterSource(EventSource source)
{
    if (source)
        ::DeregisterEventSource(source);
}

}  // namespace Quorlin::os
