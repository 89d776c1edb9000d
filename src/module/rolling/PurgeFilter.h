#pragma once
// Which names a purge visits can have files at all, judged from the directory listings alone.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "rolling/HistoryListing.h"

namespace Quorlin::Rolling {

class PurgeFilter {
public:
    enum class Mode {
        // A name's family: name, name.gz, name.zip and, with stem variants, stem.gz and stem.zip.
        Family,
        // A name holding the index token: whether number 1 exists plain, as .gz or as .zip, which is
        // what a count of its numbers starts from.
        FirstNumber,
    };

    // `extension` is the extension the names of the pattern share, for the stem variants (Family with
    // stem variants only).
    PurgeFilter(HistoryListing& listing, Mode mode, bool stemVariants, std::wstring extension);

    // The keys of the names that files of one directory may belong to.
    struct Keys {
        bool listed = false;
        std::unordered_set<std::wstring> keys;
        // False only when no file of the directory belongs to the name whose file part folds to `key`.
        bool MayHold(const std::wstring& key) const { return !listed || keys.count(key) != 0; }
    };

    // False only when no file in the directory of `name` can belong to what the mode looks for, so
    // that skipping the name changes nothing. Wildcard characters and unlistable directories say true.
    bool MayHold(std::wstring_view name);
    // The keys of a directory (with its trailing separator; empty: the current one), built on first use.
    const Keys& KeysOf(std::wstring_view directory);

private:
    void AddKeys(const std::wstring& file, std::unordered_set<std::wstring>& keys) const;

    HistoryListing& m_Listing;
    Mode m_Mode;
    bool m_StemVariants;
    std::wstring m_FoldedExtension;
    std::wstring m_FoldedToken;
    std::unordered_map<std::wstring, Keys> m_Directories;
    std::wstring m_LastDirectory;
    const Keys* m_LastKeys = nullptr;
    std::wstring m_Scratch;
};

}  // namespace Quorlin::Rolling
