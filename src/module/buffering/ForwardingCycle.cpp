#include "ForwardingCycle.h"

#include <algorithm>

#include "buffering/BufferingAppender.h"

namespace Quorlin {

DString FindForwardingCycle(const Appender& start, const std::vector<std::shared_ptr<Appender>>& firstTargets)
{
    struct Step {
        std::shared_ptr<Appender> appender;  // keeps the appender alive while the search runs
        std::ptrdiff_t from;                 // the step that leads here, -1 for start
    };
    std::vector<Step> steps;
    for (const auto& target : firstTargets)
        if (target)
            steps.push_back({target, -1});
    std::vector<const Appender*> visited;
    // Breadth first, so the chain named is a shortest one.
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Appender* current = steps[i].appender.get();
        if (current == &start) {
            std::vector<const Appender*> chain{current};
            for (std::ptrdiff_t at = steps[i].from; at >= 0; at = steps[static_cast<std::size_t>(at)].from)
                chain.push_back(steps[static_cast<std::size_t>(at)].appender.get());
            chain.push_back(&start);
            std::reverse(chain.begin(), chain.end());
            DString text;
            for (std::size_t k = 0; k < chain.size(); ++k) {
                if (k > 0)
                    text << " -> ";
                text.Append(chain[k]->GetName());
            }
            return text;
        }
        if (std::find(visited.begin(), visited.end(), current) != visited.end())
            continue;
        visited.push_back(current);
        if (const auto* forwarder = dynamic_cast<const BufferingAppender*>(current))
            for (auto& next : forwarder->ReferencedAppenders())
                if (next)
                    steps.push_back({std::move(next), static_cast<std::ptrdiff_t>(i)});
    }
    return {};
}

}  // namespace Quorlin
