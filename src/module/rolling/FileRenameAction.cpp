#include "FileRenameAction.h"

#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "rolling/DirectoryHelpers.h"

namespace Quorlin {

FileRenameAction::FileRenameAction(const WString& source, const WString& target) : m_Source(source), m_Target(target) {}

FileRenameAction::~FileRenameAction() = default;

bool FileRenameAction::Execute()
{
    ORBEK::Utility::File::CreateDir(ORBEK::Utility::File::GetDir(m_Target), WString());
    // Deleting the target first would delete the very file to be kept (ignoring case: on Windows
    // app.log and APP.LOG are one file).
    if (m_Source.CompareNoCase(m_Target) == 0) {
        Trace(LevelWarn, "FileRenameAction, [{$}] is its own target, nothing renamed", m_Source);
        return false;
    }
    if (os::PathExists(m_Target.StdView())) {
        Trace(LevelWarn, "FileRenameAction, will delete [{$}]", m_Target);
        os::SetNormalAttributes(m_Target.StdView());
        os::RemoveFile(m_Target.StdView());
    }
    Trace(LevelInfo, "FileRenameAction, [{$}] -> [{$}]", m_Source, m_Target);
    return os::RenameFile(m_Source.StdView(), m_Target.StdView()).Ok();
}

}  // namespace Quorlin
