#include "PurgeFilter.h"

#include "rolling/Helper.h"

namespace Quorlin::Rolling {
namespace {

bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

PurgeFilter::PurgeFilter(HistoryListing& listing, Mode mode, bool stemVariants, std::wstring extension)
    : m_Listing(listing), m_Mode(mode), m_StemVariants(stemVariants), m_FoldedExtension(HistoryListing::Fold(extension)),
      m_FoldedToken(HistoryListing::Fold(Helper::kRollingIndex))
{
}

void PurgeFilter::AddKeys(const std::wstring& file, std::unordered_set<std::wstring>& keys) const
{
    static const std::wstring gz = HistoryListing::Fold(L".gz");
    static const std::wstring zip = HistoryListing::Fold(L".zip");
    const std::wstring key = HistoryListing::Fold(file);
    // The names whose family the file may belong to: app.3.log for app.3.log, app.3.log.gz,
    // app.3.log.zip, and (stem variants) app.3.gz and app.3.zip.
    std::wstring bases[5];
    int count = 0;
    bases[count++] = key;
    for (const std::wstring* suffix : {&gz, &zip}) {
        if (!EndsWith(key, *suffix))
            continue;
        const std::wstring stripped = key.substr(0, key.size() - suffix->size());
        bases[count++] = stripped;
        if (m_Mode == Mode::Family && m_StemVariants)
            bases[count++] = stripped + m_FoldedExtension;
    }
    for (int i = 0; i < count; ++i) {
        const std::wstring& base = bases[i];
        if (m_Mode == Mode::Family) {
            keys.insert(base);
            continue;
        }
        // Number 1 anywhere a digit 1 stands: app.2024-01-01.1.log may be app.2024-01-01.{RollingIndex}.log.
        for (std::size_t at = base.find(L'1'); at != std::wstring::npos; at = base.find(L'1', at + 1))
            keys.insert(base.substr(0, at) + m_FoldedToken + base.substr(at + 1));
    }
}

const PurgeFilter::Keys& PurgeFilter::KeysOf(std::wstring_view directory)
{
    auto [it, added] = m_Directories.try_emplace(std::wstring(directory));
    if (!added)
        return it->second;
    const HistoryListing::Directory& listing = m_Listing.DirectoryAt(directory);
    it->second.listed = listing.listed;
    for (const std::wstring& file : listing.exact)
        AddKeys(file, it->second.keys);
    return it->second;
}

bool PurgeFilter::MayHold(std::wstring_view name)
{
    const std::wstring_view directory = HistoryListing::DirectoryPart(name);
    const std::wstring_view file = name.substr(directory.size());
    if (file.empty() || file.find_first_of(L"*?~:") != std::wstring_view::npos)
        return true;
    if (m_LastKeys == nullptr || directory != m_LastDirectory) {
        m_LastKeys = &KeysOf(directory);
        m_LastDirectory.assign(directory);
    }
    HistoryListing::FoldInto(file, m_Scratch);
    return m_LastKeys->MayHold(m_Scratch);
}

}  // namespace Quorlin::Rolling
