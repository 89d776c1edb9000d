#pragma once
// Byte counts as options give them: "10MB", "512k", "4096".

#include <cstdint>

#include "utility/DString.h"

namespace Quorlin {

// A number with an optional G, M or K unit, with or without B, in one case ("10MB", "10mb", "10m");
// mixed forms such as "10Mb" are plain bytes. A negative number becomes a huge count, as an unsigned
// count of it would be.
std::uint64_t ParseByteSize(const ORBEK::Utility::DString& value);

}  // namespace Quorlin
