#pragma once
// The fixed window's move into history: the window shifts only for an active file that can move.

#include <cstdint>
#include <memory>

#include "rolling/CompressionSequence.h"
#include "rolling/FileRenameAction.h"
#include "rolling/Helper.h"

namespace Quorlin {

class FixedWindowRenameAction : public FileRenameAction {
public:
    // `names` are the window's, its pattern with the date tokens expanded; `target` is its name at
    // minIndex; the plain history found in the window is added to `compressions`.
    FixedWindowRenameAction(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source,
                            const WString& target, std::shared_ptr<CompressionSequence> compressions);
    ~FixedWindowRenameAction() override;

    // False, with nothing shifted, while the source is missing or another holds it open without delete
    // sharing. Otherwise shifts the window up by one when the lowest index is taken, renames the source
    // to it, and adds a compression of each plain history file above the lowest index. True when the
    // rename succeeded.
    bool Execute() override;

private:
    std::shared_ptr<const Rolling::Helper::WindowNames> m_Names;
    std::shared_ptr<CompressionSequence> m_Compressions;
};

}  // namespace Quorlin
