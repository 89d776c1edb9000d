#pragma once
// Hands an appender one event with a message and a level, as the framework would.

#include <cstdint>
#include <string>

#include "host/Appender.h"

namespace QuorlinTest {

inline void Log(Quorlin::Appender& appender, const std::string& message, std::int32_t level = 50000)
{
    Quorlin::LoggingEvent event;
    event.m_Message = message.data();
    event.m_MessageLength = static_cast<std::int32_t>(message.size());
    event.m_Level = level;
    appender.Append(&event);
}

}  // namespace QuorlinTest
