#pragma once
// The system log: the Windows event log, or syslog on POSIX.

#include <cstdint>

namespace Quorlin::os {

using EventSource = void*;  // null: none

inline constexpr std::uint16_t kEventError = 1;        // EVENTLOG_ERROR_TYPE
inline constexpr std::uint16_t kEventWarning = 2;      // EVENTLOG_WARNING_TYPE
inline constexpr std::uint16_t kEventInformation = 4;  // EVENTLOG_INFORMATION_TYPE

// RegisterEventSourceA on the local computer; may give null. POSIX keeps the source as the syslog ident.
EventSource RegisterSource(const char* source);

// ReportEventA with one insertion string, or none when text is null. POSIX sends one syslog record
// (ident = the source, priority from the type: error LOG_ERR, warning LOG_WARNING, else LOG_INFO,
// facility LOG_USER) to /dev/log; it is lost when no syslog daemon listens.
void ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text);

// DeregisterEventSource; null is ignored.
void DeregisterSource(EventSource source);

}  // namespace Quorlin::os
