#pragma once
// Directories and names in them: existence, creation, listing, attributes, delete, move.

#include <string>
#include <string_view>
#include <vector>

#include "Status.h"

namespace Quorlin::os {

// Whether the name finds an entry (FindFirstFileW then FindClose); failure counts as absence.
bool PathExists(std::wstring_view name);

// Creates one directory (CreateDirectoryW); fails with AlreadyExists when it is there.
Status MakeDirectory(std::wstring_view path);

// Names of the entries of a directory, without "." and "..", in no particular order.
Status ListDirectory(std::wstring_view directory, std::vector<std::wstring>& names);

// Clears read-only and other attributes (SetFileAttributesW FILE_ATTRIBUTE_NORMAL; POSIX adds owner write).
Status SetNormalAttributes(std::wstring_view name);

// Makes a file read-only (FILE_ATTRIBUTE_READONLY; POSIX removes every write permission).
Status SetReadOnly(std::wstring_view name);

// Deletes a file (DeleteFileW). A read-only file is refused with AccessDenied on both platforms,
// and a file that a handle of this layer holds open without ShareDelete with SharingViolation.
Status RemoveFile(std::wstring_view name);

// Moves a file (MoveFileW): fails with AlreadyExists when `to` exists, never replaces it.
Status RenameFile(std::wstring_view from, std::wstring_view to);

// Whether RemoveFile and RenameFile could take the file as far as sharing goes: false only when
// another handle holds it open without ShareDelete (a missing file says true). Never changes the file.
bool CanRemoveOrRename(std::wstring_view name);

}  // namespace Quorlin::os
