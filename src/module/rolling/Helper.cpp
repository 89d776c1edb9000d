#include "Helper.h"

#include <algorithm>
#include <utility>

#include "HistoryListing.h"
#include "diagnostics/Trace.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "os/Directory.h"
#include "os/Path.h"

namespace Quorlin::Rolling::Helper {
namespace {

constexpr std::int32_t kScanLimit = 999;
constexpr wchar_t kGz[] = L".gz";
constexpr wchar_t kZip[] = L".zip";

bool Exists(const WString& name, HistoryListing* listing)
{
    return listing != nullptr ? listing->Exists(name) : os::PathExists(name.StdView());
}

void Remove(const WString& name, HistoryListing* listing)
{
    if (listing != nullptr)
        listing->Remove(name);
    else
        os::RemoveFile(name.StdView());
}

}  // namespace

WString NameAt(const DString& pattern, std::int64_t ticks)
{
    const std::int64_t seconds = ticks / os::kTicksPerSecond;
    return Utility::PatternToFileName(pattern.c_str(), &seconds);
}

WString ApplyIndex(const WString& pattern, std::int32_t index)
{
    WString name(pattern);
    name.Replace(kRollingIndex, WString::From(index));
    return name;
}

bool Stem(const WString& name, WString& stem)
{
    os::PathParts parts;
    if (!os::SplitPath(name.StdView(), parts).Ok())
        return false;
    // Joined by length, not at terminators: a name holding a NUL must still give its own prefix.
    const auto piece = [](const std::wstring& part) {
        return ORBEK::Utility::WStringView(part.data(), static_cast<std::int32_t>(part.size()));
    };
    stem = {piece(parts.drive), piece(parts.directory), piece(parts.name)};
    return true;
}

bool HasStemVariants(const WString& pattern)
{
    os::PathParts parts;
    if (!os::SplitPath(pattern.StdView(), parts).Ok())
        return false;
    return !parts.extension.empty() && parts.extension.find(L'{') == std::wstring::npos;
}

std::vector<WString> Variants(const WString& name, bool stemVariants)
{
    std::vector<WString> family{name, name + kGz, name + kZip};
    WString stem;
    if (stemVariants && Stem(name, stem) && !(stem == name)) {
        // app.3.gz has the stem app.3, whose ".gz" variant is the name itself: listed twice, a roll-over
        // would move the file and then delete it as the target of its own second move.
        for (const WString& variant : {stem + kGz, stem + kZip})
            if (std::find(family.begin(), family.end(), variant) == family.end())
                family.push_back(variant);
    }
    return family;
}

std::shared_ptr<const WindowNames> NamesOfWindow(const WString& pattern, std::int32_t minIndex, std::int32_t maxIndex)
{
    auto names = std::make_shared<WindowNames>();
    names->pattern = pattern;
    names->minIndex = minIndex;
    names->maxIndex = maxIndex;
    const bool stemVariants = HasStemVariants(pattern);
    names->families.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, static_cast<std::int64_t>(maxIndex) - minIndex + 1)));
    for (std::int64_t i = minIndex; i <= maxIndex; ++i)
        names->families.push_back(Variants(ApplyIndex(pattern, static_cast<std::int32_t>(i)), stemVariants));
    return names;
}

bool Rename(const WindowNames& names)
{
    Trace(LevelInfo, "Enter Rolling.Helper.Rename {$}~{$} for [{$}]", names.minIndex, names.maxIndex, names.pattern);
    // One member after the other, each from the top of the window down: app.9.log -> app.10.log ...
    // app.1.log -> app.2.log, then the same for app.N.log.gz, and so on.
    const auto& families = names.families;
    std::size_t widest = 0;
    for (const std::vector<WString>& family : families)
        widest = std::max(widest, family.size());
    for (std::size_t member = 0; member < widest; ++member) {
        for (std::size_t k = families.size(); k-- > 1;) {
            const std::vector<WString>& from = families[k - 1];
            const std::vector<WString>& to = families[k];
            if (member >= from.size() || member >= to.size())
                continue;
            // A missing source leaves its target deleted, which keeps the shift right across gaps.
            os::SetNormalAttributes(to[member].StdView());
            os::RemoveFile(to[member].StdView());
            os::RenameFile(from[member].StdView(), to[member].StdView());
        }
    }
    return true;
}

bool Delete(const WString& pattern, std::int32_t maxIndex, HistoryListing* listing)
{
    Trace(LevelInfo, "Enter Rolling.Helper.Delete {$}~{$} for [{$}]", 1, maxIndex, pattern);
    const bool stemVariants = HasStemVariants(pattern);
    std::vector<WString> plain, gz, zip;
    for (std::int32_t i = maxIndex; i >= 1; --i) {
        const WString name = ApplyIndex(pattern, i);
        plain.push_back(name);
        gz.push_back(name + kGz);
        zip.push_back(name + kZip);
        WString stem;
        if (stemVariants && Stem(name, stem) && !(stem == name)) {
            gz.push_back(stem + kGz);
            zip.push_back(stem + kZip);
        }
    }
    for (const auto* list : {&plain, &gz, &zip}) {
        for (const WString& name : *list) {
            Trace(LevelInfo, "Rolling.Helper.Delete, Will Delete (if exist) [{$}]", name);
            Remove(name, listing);
        }
    }
    return true;
}

bool DeleteVariants(const WString& name) { return DeleteVariants(name, HasStemVariants(name)); }

bool DeleteVariants(const WString& name, bool stemVariants, HistoryListing* listing)
{
    for (const WString& member : Variants(name, stemVariants))
        Remove(member, listing);
    return true;
}

std::int32_t ScanIndex(const WString& name, HistoryListing* listing)
{
    for (std::int32_t i = 1; i <= kScanLimit; ++i) {
        if (!Exists(ApplyIndex(name, i), listing))
            return i - 1;
    }
    return 0;
}

std::int32_t HighestIndex(const WString& name, HistoryListing* listing)
{
    if (const std::int32_t plain = ScanIndex(name, listing); plain > 0)
        return plain;
    if (const std::int32_t gz = ScanIndex(name + kGz, listing); gz > 0)
        return gz;
    const std::int32_t zip = ScanIndex(name + kZip, listing);
    return zip > 0 ? zip : 0;
}

bool FamilyExists(const WString& name, bool stemVariants, HistoryListing* listing)
{
    for (const WString& member : Variants(name, stemVariants))
        if (Exists(member, listing))
            return true;
    return false;
}

std::int32_t HighestNumberInUse(const WString& name, HistoryListing* listing)
{
    std::int32_t i = 1;
    while (i <= kScanLimit && FamilyExists(ApplyIndex(name, i), false, listing))
        ++i;
    return i - 1;
}

std::int32_t FreeIndex(const WString& name, std::int32_t from)
{
    const bool stemVariants = HasStemVariants(name);
    std::int32_t index = from < 1 ? 1 : from;
    while (index < INT32_MAX && FamilyExists(ApplyIndex(name, index), stemVariants))
        ++index;
    return index;
}

}  // namespace Quorlin::Rolling::Helper
