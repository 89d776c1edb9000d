#include "SizeAndTimeBasedTriggerPolicy.h"

namespace Quorlin {

void SizeAndTimeBasedTriggerPolicy::SetOption(const DString& key, const DString& value)
{
    m_SizePolicy.SetOption(key, value);
    m_TimePolicy.SetOption(key, value);
}

void SizeAndTimeBasedTriggerPolicy::ActivateOptions()
{
    m_SizePolicy.ActivateOptions();
    m_TimePolicy.ActivateOptions();
}

bool SizeAndTimeBasedTriggerPolicy::IsTriggered(const Appender* appender, const LoggingEvent* event, std::uint64_t fileSize) const
{
    return m_SizePolicy.IsTriggered(appender, event, fileSize) || m_TimePolicy.IsTriggered(appender, event, fileSize);
}

void SizeAndTimeBasedTriggerPolicy::AdvanceSchedule(Writer* writer)
{
    m_SizePolicy.AdvanceSchedule(writer);
    m_TimePolicy.AdvanceSchedule(writer);
}

}  // namespace Quorlin
