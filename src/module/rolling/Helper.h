#pragma once
// Names of numbered history files: the index token, the family of compressed variants of a name, and
// shifting, deleting and counting numbered files with all their variants.

#include <cstdint>
#include <memory>
#include <vector>

#include "utility/DString.h"

namespace Quorlin::Rolling {

class HistoryListing;

namespace Helper {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

// The token that stands for the number of a history file.
inline constexpr const wchar_t* kRollingIndex = L"{RollingIndex}";

// The pattern's date and time tokens for the instant `ticks` of the module's clock (app.{dd}.log ->
// app.06.log). Instants come from here, not from the host's own clock, so that a test clock holds.
WString NameAt(const DString& pattern, std::int64_t ticks);

// The pattern with every "{RollingIndex}" replaced by the decimal index ("app.{RollingIndex}.log", 3 -> "app.3.log").
WString ApplyIndex(const WString& pattern, std::int32_t index);

// The name without its extension (C:\logs\app.3.log -> C:\logs\app.3); false when the name cannot be split.
bool Stem(const WString& name, WString& stem);

// Whether the names of a pattern have stem variants of their own: only when the pattern's extension
// holds no token, so that stem + ".gz" tells its numbers or periods apart, and is not empty, so that
// stem + ".gz" is not simply name + ".gz". app.{RollingIndex}.log has them; app.log.{RollingIndex}
// (every stem is app.log) and app-{RollingIndex} do not.
bool HasStemVariants(const WString& pattern);

// The family of a name in its fixed order: name, name.gz, name.zip, then, with stem variants,
// stem.gz and stem.zip, each only when it is not already a member (app.3.gz is its own stem.gz).
std::vector<WString> Variants(const WString& name, bool stemVariants);

// The families of a fixed window's names, index by index from minIndex, made once for a pattern (its
// date tokens expanded) and kept while the pattern stays the same.
struct WindowNames {
    WString pattern;
    std::int32_t minIndex = 0;
    std::int32_t maxIndex = 0;
    std::vector<std::vector<WString>> families;  // Variants of each index
};
std::shared_ptr<const WindowNames> NamesOfWindow(const WString& pattern, std::int32_t minIndex, std::int32_t maxIndex);

// Shifts every numbered file from maxIndex - 1 down to minIndex up by one, all plain names first, then
// each variant in family order; the files at maxIndex are deleted (read-only ones too). Always true.
bool Rename(const WindowNames& names);

// Deletes the numbers maxIndex down to 1 with their variants: all plain names, then the ".gz" ones,
// then the ".zip" ones. With a listing, names it shows absent are not asked for. Always true.
bool Delete(const WString& pattern, std::int32_t maxIndex, HistoryListing* listing = nullptr);

// Deletes the family of a name (stem variants when HasStemVariants(name)). Always true.
bool DeleteVariants(const WString& name);
bool DeleteVariants(const WString& name, bool stemVariants, HistoryListing* listing = nullptr);

// The last of the consecutive numbers from 1 (at most 999) whose file exists; 0 when number 1 is
// missing, and 0 as well when all 999 exist.
std::int32_t ScanIndex(const WString& name, HistoryListing* listing = nullptr);

// ScanIndex of the plain names, else of the ".gz" names, else of the ".zip" names; 0 when none.
std::int32_t HighestIndex(const WString& name, HistoryListing* listing = nullptr);

// Whether any member of the family of a name exists.
bool FamilyExists(const WString& name, bool stemVariants, HistoryListing* listing = nullptr);

// The last of the consecutive numbers from 1 (at most 999) that exist plain, as .gz or as .zip, in any
// mix: app.1.log.gz, app.2.log.gz and app.3.log (its compression cut short) give 3, where HighestIndex
// gives 2. Stem variants are not consulted, as in HighestIndex.
std::int32_t HighestNumberInUse(const WString& name, HistoryListing* listing = nullptr);

// The lowest number from `from` up whose whole family is free of files, so that a file moved there
// replaces nothing. `name` must hold the index token.
std::int32_t FreeIndex(const WString& name, std::int32_t from);

}  // namespace Helper
}  // namespace Quorlin::Rolling
