#include "RelpCollector.h"

// The collector runs only beside the native build: under Windows every test that needs it skips.
namespace QuorlinTest {

RelpCollector::~RelpCollector() = default;

bool RelpCollector::Available(std::string& reason)
{
    reason = "no RELP collector to test against in the Windows build";
    return false;
}

bool RelpCollector::Start(std::string& error)
{
    error = "no RELP collector in the Windows build";
    return false;
}

std::unique_ptr<Quorlin::Connection> RelpCollector::Connect(std::string& error)
{
    error = "no RELP collector in the Windows build";
    return nullptr;
}

std::string RelpCollector::Received() const { return {}; }

}  // namespace QuorlinTest
