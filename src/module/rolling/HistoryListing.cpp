#include "HistoryListing.h"

#include <vector>

#include "os/Directory.h"
#include "os/Path.h"

namespace Quorlin::Rolling {
namespace {

constexpr wchar_t kFoldMark = L'\x1';

// Names that the system may resolve by more than their text: wildcards (FindFirstFileW), 8.3 short
// names, streams and drive-relative names.
bool NeedsTheSystem(std::wstring_view file) { return file.empty() || file.find_first_of(L"*?~:") != std::wstring_view::npos; }

}  // namespace

std::wstring_view HistoryListing::DirectoryPart(std::wstring_view name)
{
    for (std::size_t i = name.size(); i > 0; --i) {
        if (os::IsPathSeparator(name[i - 1]))
            return name.substr(0, i);
    }
    return {};
}

void HistoryListing::FoldInto(std::wstring_view name, std::wstring& key)
{
    key.clear();
    key.reserve(name.size());
    for (wchar_t c : name) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c == L'i' || c == L's' || static_cast<std::uint32_t>(c) >= 0x80)
            c = kFoldMark;
        key += c;
    }
    while (!key.empty() && (key.back() == L'.' || key.back() == L' '))
        key.pop_back();
}

std::wstring HistoryListing::Fold(std::wstring_view name)
{
    std::wstring key;
    FoldInto(name, key);
    return key;
}

const HistoryListing::Directory& HistoryListing::DirectoryAt(std::wstring_view directory)
{
    const std::wstring path = directory.empty() ? std::wstring(L".") : std::wstring(directory);
    auto [it, added] = m_Directories.try_emplace(path);
    if (!added)
        return it->second;
    Directory& listing = it->second;
    std::vector<std::wstring> names;
    const os::Status status = os::ListDirectory(path, names);
    if (!status.Ok()) {
        // A directory that is not there holds no file; any other failure leaves the names unknown.
        listing.listed = status.kind == os::ErrorKind::NotFound || status.kind == os::ErrorKind::PathNotFound;
        return listing;
    }
    listing.listed = true;
    listing.exact.reserve(names.size());
    for (std::wstring& name : names) {
        ++listing.folded[Fold(name)];
        listing.exact.insert(std::move(name));
    }
    return listing;
}

HistoryListing::Presence HistoryListing::Lookup(const WString& name)
{
    const std::wstring_view whole = name.StdView();
    const std::wstring_view directory = DirectoryPart(whole);
    const std::wstring_view file = whole.substr(directory.size());
    if (NeedsTheSystem(file))
        return Presence::Unknown;
    const Directory& listing = DirectoryAt(directory);
    if (!listing.listed)
        return Presence::Unknown;
    if (listing.exact.count(std::wstring(file)) != 0)
        return Presence::Present;
    return listing.folded.count(Fold(file)) != 0 ? Presence::Unknown : Presence::Absent;
}

bool HistoryListing::Exists(const WString& name)
{
    switch (Lookup(name)) {
    case Presence::Present: return true;
    case Presence::Absent: return false;
    case Presence::Unknown: break;
    }
    return os::PathExists(name.StdView());
}

void HistoryListing::Remove(const WString& name)
{
    if (Lookup(name) == Presence::Absent)
        return;
    if (!os::RemoveFile(name.StdView()).Ok())
        return;
    const std::wstring_view whole = name.StdView();
    const std::wstring_view directory = DirectoryPart(whole);
    Forget(directory, whole.substr(directory.size()));
}

void HistoryListing::Forget(std::wstring_view directory, std::wstring_view file)
{
    const auto it = m_Directories.find(directory.empty() ? std::wstring(L".") : std::wstring(directory));
    if (it == m_Directories.end() || !it->second.listed)
        return;
    Directory& listing = it->second;
    const std::wstring key = Fold(file);
    // The system may have removed a name that differs in case: every name of the same key is in doubt.
    if (listing.exact.erase(std::wstring(file)) == 0) {
        for (auto name = listing.exact.begin(); name != listing.exact.end();) {
            if (Fold(*name) == key)
                name = listing.exact.erase(name);
            else
                ++name;
        }
        return;  // the folded count stays, so the remaining doubt sends later questions to the system
    }
    auto count = listing.folded.find(key);
    if (count != listing.folded.end() && --count->second <= 0)
        listing.folded.erase(count);
}

}  // namespace Quorlin::Rolling
