#pragma once
// The compressions of one roll-over, one after the other on one thread: the rolled file's own, then
// those of plain history that an earlier roll-over left (its compression never ran, or never ended).

#include <memory>
#include <vector>

#include "rolling/GZCompressAction.h"

namespace Quorlin {

class CompressionSequence : public Action {
public:
    // Appends a compression; only before the sequence runs.
    void Add(std::shared_ptr<GZCompressAction> compression);
    // Runs the compressions in order and stops after one whose gzip was unusable, as the next would
    // fare no better. Always true.
    bool Execute() override;

    const std::vector<std::shared_ptr<GZCompressAction>>& Compressions() const { return m_Compressions; }

private:
    std::vector<std::shared_ptr<GZCompressAction>> m_Compressions;
};

}  // namespace Quorlin
