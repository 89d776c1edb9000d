#include "CompressionSequence.h"

namespace Quorlin {

void CompressionSequence::Add(std::shared_ptr<GZCompressAction> compression) { m_Compressions.push_back(std::move(compression)); }

bool CompressionSequence::Execute()
{
    for (const auto& compression : m_Compressions) {
        compression->Execute();
        if (compression->GzipUnusable())
            break;
    }
    return true;
}

}  // namespace Quorlin
