#pragma once
// What the rolling file appenders of a run wrote: the files of their folders, sizes and ratios.

#include <cstdio>

#include "host/Configuration.h"

namespace QuorlinRun {

// Lists the files of every folder that a rolling file appender of the configuration writes into,
// with their sizes and, for gzip history, the compression ratio. Nothing without such an appender.
void ReportLogFiles(const Quorlin::Configuration& config, std::FILE* out);

}  // namespace QuorlinRun
