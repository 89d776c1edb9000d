#pragma once
// Creating every directory of a path, and cutting the directory part off a path.

#include "utility/DString.h"

namespace ORBEK::Utility::File {

// Creates each directory level of path from the top ("C:\logs\app\" tries C:, C:\logs, C:\logs\app).
// Levels that compare below root (ignoring case, root's trailing separators stripped) are skipped.
// Failures are ignored (existing levels, drive names); the open that follows reveals real problems.
// Always true.
bool CreateDir(const WString& path, const WString& root);

// The text before the last separator when that separator is past position 0; otherwise empty.
WString GetDir(const WString& path);

}  // namespace ORBEK::Utility::File
