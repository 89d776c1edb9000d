#pragma once
// One logging event as the framework hands it to appenders. The field order is part of the
// contract with modules, which copy events field by field.

#include <cstdint>

#include "utility/DString.h"

namespace Quorlin {

struct LoggingEvent {
    ORBEK::Utility::DString m_LoggerName;
    const char* m_Message = nullptr;  // not zero-terminated; m_MessageLength characters
    std::int32_t m_MessageLength = 0;
    std::int32_t m_Level = 0;
    std::int32_t m_ThreadId = 0;
    std::int64_t m_TimeStamp = 0;       // ticks: 100 ns units since 1970-01-01 UTC
    std::int64_t m_SequenceNumber = 0;  // unique; increasing within each logging thread
    bool m_Layout = true;               // asks the appender's layout to format the event
    std::int32_t m_ContextSlot = 0;     // the framework's per-thread bookkeeping; never copied
    std::uint64_t m_UserData = 0;
};

}  // namespace Quorlin
