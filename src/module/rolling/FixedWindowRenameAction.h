#pragma once
// The fixed window's move into history: the window shifts only for an active file that can move.

#include <cstdint>
#include <memory>

#include "rolling/CompressionSequence.h"
#include "rolling/FileRenameAction.h"

namespace Quorlin {

class FixedWindowRenameAction : public FileRenameAction {
public:
    // `pattern` has its date tokens expanded; `target` is its name at minIndex; the plain history found
    // in the window is added to `compressions`.
    FixedWindowRenameAction(const WString& pattern, std::int32_t minIndex, std::int32_t maxIndex, const WString& source,
                            const WString& target, std::shared_ptr<CompressionSequence> compressions);
    ~FixedWindowRenameAction() override;

    // False, with nothing shifted, while the source is missing or another holds it open without delete
    // sharing. Otherwise shifts the window up by one when the lowest index is taken, renames the source
    // to it, and adds a compression of each plain history file above the lowest index. True when the
    // rename succeeded.
    bool Execute() override;

private:
    WString m_Pattern;
    std::int32_t m_MinIndex;
    std::int32_t m_MaxIndex;
    std::shared_ptr<CompressionSequence> m_Compressions;
};

}  // namespace Quorlin
