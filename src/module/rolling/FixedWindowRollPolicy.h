#pragma once
// A window of numbered history files: app.1.log.gz is the newest, app.10.log.gz the oldest kept.

#include "rolling/Helper.h"
#include "rolling/RollingPolicy.h"
#include "rolling/WindowIntake.h"

namespace Quorlin {

class FixedWindowRollPolicy : public RollingPolicy {
public:
    FixedWindowRollPolicy();
    ~FixedWindowRollPolicy() override;

    // Keys containing "/minIndex/value", "/maxIndex/value" or "/fileNamePattern/value", first match wins.
    void SetOption(const DString& key, const DString& value) override;
    // Corrects an inverted window and one wider than 121 indices, with a LevelWarn diagnostic each.
    void ActivateOptions() override;
    // Names a rename to the lowest index that first shifts the window up by one (FixedWindowRenameAction),
    // and the compression of that file and of plain history found in the window (WindowCompression). Null when the lowest index is negative, or the
    // pattern is empty or longer than 260 characters.
    std::unique_ptr<RolloverDescription> Rollover(const WString& activeFileName) override;
    // Files that rolled while a compression ran wait beside the window: they go in first.
    void Settle() override
    {
        if (m_Intake)
            m_Intake->Settle();
    }
    void Abandoned() override
    {
        if (m_Intake)
            m_Intake->Abandoned();
    }

    std::int32_t MinIndex() const { return m_MinIndex; }
    std::int32_t MaxIndex() const { return m_MaxIndex; }

private:
    std::int32_t m_MinIndex = 1;
    std::int32_t m_MaxIndex = 10;
    DString m_FileNamePattern;
    std::shared_ptr<const Rolling::Helper::WindowNames> m_WindowNames;  // of the last roll-over's pattern
    std::shared_ptr<WindowIntake> m_Intake;                              // from the first roll-over on
};

}  // namespace Quorlin
