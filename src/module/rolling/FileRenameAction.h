#pragma once
// Moves the closed active file to its history name.

#include "rolling/Action.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::WString;

class FileRenameAction : public Action {
public:
    FileRenameAction(const WString& source, const WString& target);
    ~FileRenameAction() override;

    // Creates the target's directory chain, deletes an existing target (read-only too), then moves the
    // source there; true when the move succeeded. A source that is its own target is left alone (false).
    bool Execute() override;

    const WString& Source() const { return m_Source; }
    const WString& Target() const { return m_Target; }

private:
    WString m_Source;
    WString m_Target;
};

}  // namespace Quorlin
