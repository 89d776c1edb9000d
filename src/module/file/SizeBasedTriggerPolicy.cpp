#include "SizeBasedTriggerPolicy.h"

#include "diagnostics/Trace.h"

namespace Quorlin {
namespace {

constexpr std::uint64_t kSmallestMaxFileSize = 4096;

struct UnitSuffix {
    const char* text;
    int shift;
};

// Each test exact as to case; a text has one ending, so at most one of them matches.
constexpr UnitSuffix kUnitSuffixes[] = {
    {"GB", 30}, {"gb", 30}, {"MB", 20}, {"mb", 20}, {"KB", 10}, {"kb", 10},
    {"G", 30},  {"g", 30},  {"M", 20},  {"m", 20},  {"K", 10},  {"k", 10},
};

}  // namespace

void SizeBasedTriggerPolicy::SetOption(const DString& key, const DString& value)
{
    if (key.Find("/maxFileSize/value") < 0)
        return;
    // A negative number becomes a huge limit that is never reached, as an unsigned count would be.
    m_MaxFileSize = static_cast<std::uint64_t>(static_cast<std::int64_t>(value.Int()));
    for (const UnitSuffix& suffix : kUnitSuffixes) {
        if (value.EndWith(suffix.text)) {
            m_MaxFileSize <<= suffix.shift;
            break;
        }
    }
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
