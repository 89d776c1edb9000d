#include "FixedWindowRenameAction.h"

#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "rolling/Helper.h"

namespace Quorlin {

FixedWindowRenameAction::FixedWindowRenameAction(const WString& pattern, std::int32_t minIndex, std::int32_t maxIndex,
                                                 const WString& source, const WString& target,
                                                 std::shared_ptr<CompressionSequence> compressions)
    : FileRenameAction(source, target), m_Pattern(pattern), m_MinIndex(minIndex), m_MaxIndex(maxIndex),
      m_Compressions(std::move(compressions))
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
    const bool stemVariants = Rolling::Helper::HasStemVariants(m_Pattern);
    if (Rolling::Helper::FamilyExists(Target(), stemVariants))
        Rolling::Helper::Rename(m_Pattern, m_MinIndex, m_MaxIndex);  // app.9.log -> app.10.log ... app.1.log -> app.2.log
    Trace(LevelInfo, "FixedWindowRollPolicy.Will rename (if exist) [{$}] -> [{$}]", Source(), Target());
    const bool moved = FileRenameAction::Execute();
    // Plain history above the lowest index is what a crash or a killed gzip left uncompressed.
    for (std::int64_t i = static_cast<std::int64_t>(m_MinIndex) + 1; i <= m_MaxIndex; ++i) {
        const WString name = Rolling::Helper::ApplyIndex(m_Pattern, static_cast<std::int32_t>(i));
        if (os::PathExists(name.StdView()))
            m_Compressions->Add(std::make_shared<GZCompressAction>(name, name + L".gz", true));
    }
    return moved;
}

}  // namespace Quorlin
