#pragma once
// The names in history directories, listed once, so that a purge asks the file system only about
// names that may be there.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "utility/DString.h"

namespace Quorlin::Rolling {

using ORBEK::Utility::WString;

class HistoryListing {
public:
    enum class Presence { Absent, Present, Unknown };

    struct Directory {
        bool listed = false;                           // false: the names are not known
        std::unordered_set<std::wstring> exact;        // the names as the system gives them
        std::unordered_map<std::wstring, int> folded;  // Fold(name) -> how many names give it
    };

    // What the listing says about `name`: Present when its directory holds exactly that name; Absent
    // when the directory holds no name that the file system could take for it (names compared the way
    // Fold does, so a case-insensitive system is covered); Unknown otherwise: the directory cannot be
    // listed, the name holds wildcard or short-name characters, or it matches only when folded.
    Presence Lookup(const WString& name);
    bool MayExist(const WString& name) { return Lookup(name) != Presence::Absent; }
    // Whether `name` exists, as os::PathExists says; asks the system only when the listing cannot tell.
    bool Exists(const WString& name);
    // os::RemoveFile(name) unless the listing shows it absent; a removed name is forgotten. Never fails.
    void Remove(const WString& name);

    // The listing of a directory (with or without its trailing separator; empty means the current one),
    // taken on first use.
    const Directory& DirectoryAt(std::wstring_view directory);
    // Forgets every listing, for names that changed behind the listing's back.
    void Clear() { m_Directories.clear(); }

    // The directory part of a name, up to and with its last separator; empty when it has none.
    static std::wstring_view DirectoryPart(std::wstring_view name);
    // A key under which every name a file system might take for another falls together: ASCII letters
    // in lower case, 'i', 's' and every non-ASCII character as one mark (Windows' upper-case table takes
    // a few of those for ASCII letters), trailing dots and spaces dropped (Win32 drops them).
    static std::wstring Fold(std::wstring_view name);
    static void FoldInto(std::wstring_view name, std::wstring& key);

private:
    void Forget(std::wstring_view directory, std::wstring_view file);

    std::unordered_map<std::wstring, Directory> m_Directories;
};

}  // namespace Quorlin::Rolling
