#pragma once
// Where the active file goes at a roll-over, and what happens to the older files.

#include <memory>

#include "rolling/Action.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

// What the appender runs once the active file is closed.
struct RolloverDescription {
    // On the thread that rolls over (the rename into history).
    std::shared_ptr<Action> synchronous;
    // Afterwards on a detached thread, only when the synchronous action succeeded (the compression).
    std::shared_ptr<Action> asynchronous;
};

class RollingPolicy {
public:
    virtual ~RollingPolicy() = default;
    // One configuration pair; keys the policy does not know are ignored.
    virtual void SetOption(const DString& key, const DString& value) = 0;
    // Checks and completes the configuration, once, after every SetOption.
    virtual void ActivateOptions() = 0;
    // Prepares the history for the file now being written and says what to do with it; null means no
    // roll-over takes place and the appender keeps its file.
    virtual std::unique_ptr<RolloverDescription> Rollover(const WString& activeFileName) = 0;
    // Returns once every file rolled so far has its history name (an asynchronous part may still be
    // compressing it), or after a bounded wait; at Close.
    virtual void Settle() {}
    // A fault abandoned the roll-over half way (no destructor ran): what it held is released.
    virtual void Abandoned() {}
};

}  // namespace Quorlin
