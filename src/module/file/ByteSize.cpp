#include "ByteSize.h"

namespace Quorlin {
namespace {

struct UnitSuffix {
    const char* text;
    int shift;
};

// Each test exact as to case; a text has one ending, so at most one of them matches.
constexpr UnitSuffix kUnitSuffixes[] = {
    {"GB", 30}, {"gb", 30}, {"MB", 20}, {"mb", 20}, {"KB", 10}, {"kb", 10},
    {"G", 30},  {"g", 30},  {"M", 20},  {"m", 20},  {"K", 10},  {"k", 10},
};

}  // namespace

std::uint64_t ParseByteSize(const ORBEK::Utility::DString& value)
{
    std::uint64_t bytes = static_cast<std::uint64_t>(static_cast<std::int64_t>(value.Int()));
    for (const UnitSuffix& suffix : kUnitSuffixes) {
        if (value.EndWith(suffix.text))
            return bytes << suffix.shift;
    }
    return bytes;
}

}  // namespace Quorlin
