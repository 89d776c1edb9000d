#include "FixedWindowRenameAction.h"

#include <algorithm>

#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "rolling/Helper.h"

namespace Quorlin {

FixedWindowRenameAction::FixedWindowRenameAction(std::shared_ptr<const Rolling::Helper::WindowNames> names,
                                                 const WString& source, const WString& target,
                                                 std::shared_ptr<CompressionSequence> compressions)
    : FileRenameAction(source, target), m_Names(std::move(names)), m_Compressions(std::move(compressions))
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
    // A lowest index left free (a rename that failed after its shift, or no history yet) takes the file
    // without a shift: app.1.log free, app.2.log.gz stays where it is.
    const auto& families = m_Names->families;
    const auto exists = [](const WString& name) { return os::PathExists(name.StdView()); };
    if (!families.empty() && std::any_of(families.front().begin(), families.front().end(), exists))
        Rolling::Helper::Rename(*m_Names);  // app.9.log -> app.10.log ... app.1.log -> app.2.log
    Trace(LevelInfo, "FixedWindowRollPolicy.Will rename (if exist) [{$}] -> [{$}]", Source(), Target());
    const bool moved = FileRenameAction::Execute();
    // Plain history above the lowest index is what a crash or a killed gzip left uncompressed.
    for (std::size_t k = 1; k < families.size(); ++k) {
        const WString& name = families[k].front();
        if (exists(name))
            m_Compressions->Add(std::make_shared<GZCompressAction>(name, name + L".gz", true));
    }
    return moved;
}

}  // namespace Quorlin
