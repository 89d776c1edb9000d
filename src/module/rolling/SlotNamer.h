#pragma once
// The names of one pattern at the many instants a purge visits, without asking the host for each.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "utility/DString.h"

namespace Quorlin::Rolling {

using ORBEK::Utility::DString;

// Renders the host's date and time tokens itself, in local time with the offsets in force over the range,
// and keeps to what Utility::PatternToFileName gives: Prepare compares the two at every hour of the range
// and refuses a pattern on any difference, so that callers fall back to the host.
class SlotNamer {
public:
    // Ready for instants (seconds since 1970) from `from` to `to`; false when the pattern holds a token it
    // does not render ({GlobalMap:...}), local time cannot be had, or a name differs from the host's.
    bool Prepare(const DString& pattern, std::int64_t from, std::int64_t to);
    // The name at `seconds`, which lies in the prepared range.
    void NameAt(std::int64_t seconds, std::wstring& name) const;

private:
    enum class Field : std::uint8_t { Literal, Year, ShortYear, Month, Day, Hour, Minute, Second };
    struct Piece {
        Field field = Field::Literal;
        int width = 0;
        std::wstring literal;
    };

    bool Parse(const DString& pattern);
    bool FindOffsets(std::int64_t from, std::int64_t to);
    bool AgreesWithHost(const DString& pattern, std::int64_t seconds) const;

    std::vector<Piece> m_Pieces;
    std::vector<std::pair<std::int64_t, std::int64_t>> m_Offsets;  // (first second, local offset), ascending
};

} // namespace Quorlin::Rolling
