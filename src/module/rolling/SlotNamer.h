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

    // Whether every name lies in one directory (the tokens all follow the last separator) and its file
    // part holds nothing the system reads as a wildcard: then KeyAt can stand for the name.
    bool FixedDirectory() const { return m_FixedDirectory; }
    // That directory, with its trailing separator (empty for the current directory).
    const std::wstring& Directory() const { return m_Directory; }
    // HistoryListing::Fold of the file part of the name at `seconds`; only with a fixed directory.
    void KeyAt(std::int64_t seconds, std::wstring& key) const;

private:
    enum class Field : std::uint8_t { Literal, Year, ShortYear, Month, Day, Hour, Minute, Second };
    struct Piece {
        Field field = Field::Literal;
        int width = 0;
        std::wstring literal;
    };

    struct Local {
        std::int64_t year;
        unsigned month, day;
        std::int64_t secondOfDay;
    };

    bool Parse(const DString& pattern);
    void SplitDirectory();
    Local LocalAt(std::int64_t seconds) const;
    static void Render(const std::vector<Piece>& pieces, const Local& local, std::wstring& out, std::size_t capacity);
    bool FindOffsets(std::int64_t from, std::int64_t to);
    bool AgreesWithHost(const DString& pattern, std::int64_t seconds) const;

    std::vector<Piece> m_Pieces;
    std::size_t m_Capacity = 0;  // the longest name the pieces can give
    bool m_FixedDirectory = false;
    std::wstring m_Directory;
    std::vector<Piece> m_FileKeyPieces;                            // the file part, literals folded
    std::vector<std::pair<std::int64_t, std::int64_t>> m_Offsets;  // (first second, local offset), ascending
};

}  // namespace Quorlin::Rolling
