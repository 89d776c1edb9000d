#include "FixedWindowRenameAction.h"

#include "diagnostics/Trace.h"
#include "os/Directory.h"

namespace Quorlin {

FixedWindowRenameAction::FixedWindowRenameAction(std::shared_ptr<const Rolling::Helper::WindowNames> names,
                                                 const WString& source, const WString& target,
                                                 std::shared_ptr<WindowIntake> intake)
    : FileRenameAction(source, target), m_Names(std::move(names)), m_Intake(std::move(intake))
{
}

FixedWindowRenameAction::~FixedWindowRenameAction() = default;

bool FixedWindowRenameAction::Execute()
{
    // A shift for a file that then stays would push history out of the window at every retry.
    if (!os::PathExists(Source().StdView()) || !os::CanRemoveOrRename(Source().StdView())) {
        Trace(LevelInfo, "FixedWindowRollPolicy, [{$}] cannot be moved now; the history is not shifted", Source());
        return false;
    }
    return m_Intake->Take(m_Names, Source(), Target());
}

}  // namespace Quorlin
