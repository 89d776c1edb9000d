#pragma once
// One file operation of a roll-over, run by the appender once the active file is closed.

namespace Quorlin {

// Always held by shared pointers: a compression may run on a thread of its own after the policy that
// made it has let go.
class Action {
public:
    virtual ~Action() = default;
    // Performs the operation once; what true means is each action's own.
    virtual bool Execute() = 0;
};

}  // namespace Quorlin
