#include "FixedWindowRollPolicy.h"

#include "diagnostics/Trace.h"
#include "os/Clock.h"
#include "rolling/FixedWindowRenameAction.h"
#include "rolling/Helper.h"

namespace Quorlin {
namespace {

constexpr std::int32_t kLargestWindow = 120;
constexpr std::int32_t kPatternLimit = 260;

bool Contains(const DString& key, const char* name) { return key.Find(name) >= 0; }

}  // namespace

FixedWindowRollPolicy::FixedWindowRollPolicy() = default;

FixedWindowRollPolicy::~FixedWindowRollPolicy() = default;

void FixedWindowRollPolicy::SetOption(const DString& key, const DString& value)
{
    if (Contains(key, "/minIndex/value"))
        m_MinIndex = value.Int();
    else if (Contains(key, "/maxIndex/value"))
        m_MaxIndex = value.Int();
    else if (Contains(key, "/fileNamePattern/value"))
        m_FileNamePattern = value;
}

void FixedWindowRollPolicy::ActivateOptions()
{
    if (m_MaxIndex < m_MinIndex) {
        Trace(LevelWarn, "FixedWindowRollPolicy, MaxIndex cannot be smaller than MinIndex.");
        m_MaxIndex = m_MinIndex;
    }
    // In 64 bits: a window from a very negative to a very positive index must not overflow.
    if (static_cast<std::int64_t>(m_MaxIndex) - m_MinIndex > kLargestWindow) {
        Trace(LevelWarn, "FixedWindowRollPolicy, Large window sizes are not allowed.");
        m_MaxIndex = m_MinIndex + kLargestWindow;
    }
    Trace(LevelInfo, "FixedWindowRollPolicy, {$}-{$}", m_MinIndex, m_MaxIndex);
    if (m_FileNamePattern.GetLength() > kPatternLimit)
        Trace(LevelError, "FixedWindowRollPolicy, the pattern is longer than {$} characters; the file is not rolled over : [{$}]",
              static_cast<std::int64_t>(kPatternLimit), m_FileNamePattern);
}

std::unique_ptr<RolloverDescription> FixedWindowRollPolicy::Rollover(const WString& activeFileName)
{
    if (m_MinIndex < 0)
        return nullptr;
    if (m_FileNamePattern.IsEmpty()) {
        Trace(LevelError, "FixedWindowRollPolicy::Rollover due to m_FileNamePattern is empty");
        return nullptr;
    }
    // A longer pattern cut short would name some other file, and every number the same one.
    if (m_FileNamePattern.GetLength() > kPatternLimit)
        return nullptr;
    const WString pattern = Rolling::Helper::NameAt(m_FileNamePattern, os::NowTicks());
    const WString target = Rolling::Helper::ApplyIndex(pattern, m_MinIndex);
    auto description = std::make_unique<RolloverDescription>();
    // The shift waits for the closed file: it runs in the rename, and only when the file can move; while
    // a compression of the window runs, the compressing thread takes the file in after it.
    // The window's names are made again only when the date tokens give another pattern.
    if (!m_WindowNames || !(m_WindowNames->pattern == pattern))
        m_WindowNames = Rolling::Helper::NamesOfWindow(pattern, m_MinIndex, m_MaxIndex);
    if (!m_Intake)
        m_Intake = WindowIntake::Of(m_FileNamePattern);
    description->synchronous = std::make_shared<FixedWindowRenameAction>(m_WindowNames, activeFileName, target, m_Intake);
    description->asynchronous = std::make_shared<WindowCompression>(m_Intake);
    return description;
}

}  // namespace Quorlin
