#include "SizeBasedTriggerPolicy.h"

#include "diagnostics/Trace.h"
#include "file/ByteSize.h"

namespace Quorlin {
namespace {

constexpr std::uint64_t kSmallestMaxFileSize = 4096;

}  // namespace

void SizeBasedTriggerPolicy::SetOption(const DString& key, const DString& value)
{
    if (key.Find("/maxFileSize/value") < 0)
        return;
    m_MaxFileSize = ParseByteSize(value);
}

void SizeBasedTriggerPolicy::ActivateOptions()
{
    if (m_MaxFileSize < kSmallestMaxFileSize) {
        m_MaxFileSize = kSmallestMaxFileSize;
        Trace(LevelError, "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize is too small, auto correct to {$} (bytes)",
              m_MaxFileSize);
    }
    if (m_MaxFileSize >= 0x200000)
        Trace(LevelInfo, "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize : {$} ({$} KB, {$} MB)", m_MaxFileSize,
              m_MaxFileSize >> 10, m_MaxFileSize >> 20);
    else
        Trace(LevelInfo, "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize : {$} ({$} KB)", m_MaxFileSize,
              m_MaxFileSize >> 10);
}

bool SizeBasedTriggerPolicy::IsTriggered(const Appender*, const LoggingEvent*, std::uint64_t fileSize) const
{
    return fileSize >= m_MaxFileSize;
}

}  // namespace Quorlin
