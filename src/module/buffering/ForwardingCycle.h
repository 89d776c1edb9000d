#pragma once
// Forwarding cycles: an appender that would reach itself through the appenders it references.

#include <memory>
#include <vector>

#include "host/Appender.h"

namespace Quorlin {

// The shortest chain from `start` through `firstTargets`, and on through what every forwarder among
// them references, back to `start`, as names: "a -> b -> a". Empty when there is no such chain.
DString FindForwardingCycle(const Appender& start, const std::vector<std::shared_ptr<Appender>>& firstTargets);

}  // namespace Quorlin
