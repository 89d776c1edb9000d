#pragma once
// The fixed window's move into history: the window shifts only for an active file that can move.

#include <memory>

#include "rolling/FileRenameAction.h"
#include "rolling/Helper.h"
#include "rolling/WindowIntake.h"

namespace Quorlin {

class FixedWindowRenameAction : public FileRenameAction {
public:
    // `names` are the window's, its pattern with the date tokens expanded; `target` is its name at
    // minIndex; `intake` takes the file into the window.
    FixedWindowRenameAction(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source,
                            const WString& target, std::shared_ptr<WindowIntake> intake);
    ~FixedWindowRenameAction() override;

    // False, with nothing shifted, while the source is missing or another holds it open without delete
    // sharing. Otherwise hands the source to the intake (WindowIntake::Take): true when it moved.
    bool Execute() override;

private:
    std::shared_ptr<const Rolling::Helper::WindowNames> m_Names;
    std::shared_ptr<WindowIntake> m_Intake;
};

}  // namespace Quorlin
