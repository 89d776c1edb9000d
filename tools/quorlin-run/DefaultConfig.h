#pragma once

namespace QuorlinRun {

// The configuration quorlin-run uses without --config.
extern const char* const kDefaultConfiguration;

}  // namespace QuorlinRun
