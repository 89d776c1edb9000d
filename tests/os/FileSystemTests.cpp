// Files and directories: share modes, the read-only attribute, renaming, listing, path splitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Paths.h"
#include "TempDir.h"
#include "os/Directory.h"
#include "os/File.h"
#include "os/Path.h"
#include "os/Status.h"

namespace os = Quorlin::os;
using namespace QuorlinTest;

namespace {

// An open handle closed at the end of the test, whatever fails first.
struct OpenedFile {
    os::NativeFile file = os::kInvalidFile;
    os::Status status;
    OpenedFile(const std::wstring& name, os::Access access, os::Disposition disposition, std::uint32_t share)
    {
        status = os::OpenFile(name, access, disposition, share, file);
    }
    ~OpenedFile() { os::CloseFile(file); }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
};

void Write(os::NativeFile file, const std::string& text)
{
    std::uint32_t written = 0;
    ASSERT_TRUE(os::WriteToFile(file, text.data(), static_cast<std::uint32_t>(text.size()), written).Ok());
    ASSERT_EQ(written, text.size());
}

std::string ReadAll(os::NativeFile file)
{
    std::string content;
    char buffer[64];
    std::uint32_t read = 0;
    while (os::ReadFromFile(file, buffer, sizeof buffer, read).Ok() && read > 0)
        content.append(buffer, read);
    return content;
}

}  // namespace

TEST(Directory, ListsEntriesWithoutDots)
{
    TempDir dir;
    WriteFile(dir.Path() / "one.log", "1");
    WriteFile(dir.Path() / "two.log", "2");
    ASSERT_TRUE(os::MakeDirectory(dir.Wide("sub")).Ok());
    // A name beyond ASCII and beyond the 16-bit range makes the round trip through the system's encoding.
    const std::wstring unusual = L"\u00fcber-\u65e5\u672c-\U0001F600.log";
    os::NativeFile file = os::kInvalidFile;
    ASSERT_TRUE(os::OpenFile(dir.Wide() + os::PathSeparator() + unusual, os::Access::Write, os::Disposition::CreateAlways,
                             os::ShareRead, file)
                    .Ok());
    os::CloseFile(file);

    std::vector<std::wstring> names{L"stale"};
    ASSERT_TRUE(os::ListDirectory(dir.Wide(), names).Ok());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"one.log", L"sub", L"two.log", unusual}));

    ASSERT_TRUE(os::ListDirectory(dir.Wide("sub"), names).Ok());
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(os::ListDirectory(dir.Wide("missing"), names).Ok());
}

TEST(File, MissingFilesAndDirectoriesAreTold)
{
    TempDir dir;
    os::NativeFile file = 42;
    const os::Status missing = os::OpenFile(dir.Wide("absent.log"), os::Access::Read, os::Disposition::OpenExisting,
                                            os::ShareRead, file);
    EXPECT_EQ(missing.kind, os::ErrorKind::NotFound);
    EXPECT_EQ(file, os::kInvalidFile);
    // The native code maps back to its kind and reads as one line of text.
    EXPECT_EQ(os::FromNative(missing.native).kind, os::ErrorKind::NotFound);
    const std::string text = os::ErrorText(missing.native);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_TRUE(os::FromNative(0).Ok());
    EXPECT_FALSE(os::ErrorText(0xDEAD'BEEF).empty());
    const std::wstring inMissing = dir.Wide("nodir") + os::PathSeparator() + L"x.log";
    EXPECT_EQ(os::OpenFile(inMissing, os::Access::Write, os::Disposition::CreateAlways, os::ShareRead, file).kind,
              os::ErrorKind::PathNotFound);
    ASSERT_TRUE(os::MakeDirectory(dir.Wide("folder")).Ok());
    EXPECT_EQ(os::OpenFile(dir.Wide("folder"), os::Access::Read, os::Disposition::OpenExisting, os::ShareRead, file).kind,
              os::ErrorKind::AccessDenied);
}

TEST(File, DenyWriteRefusesWritersButNotReaders)
{
    TempDir dir;
    const std::wstring name = dir.Wide("held.log");
    OpenedFile holder(name, os::Access::Write, os::Disposition::CreateAlways, os::ShareRead);
    ASSERT_TRUE(holder.status.Ok());
    Write(holder.file, "kept");

    // A second writer, even one that shares everything, and an overwrite that would truncate.
    for (auto disposition : {os::Disposition::OpenExisting, os::Disposition::CreateAlways}) {
        OpenedFile second(name, os::Access::Write, disposition, os::ShareRead | os::ShareWrite | os::ShareDelete);
        EXPECT_EQ(second.status.kind, os::ErrorKind::SharingViolation);
        EXPECT_EQ(second.file, os::kInvalidFile);
    }
    EXPECT_EQ(ReadFile(dir.Path() / "held.log"), "kept");

    // A reader must allow the writer that is there; one that refuses writers is refused itself.
    OpenedFile reader(name, os::Access::Read, os::Disposition::OpenExisting, os::ShareRead | os::ShareWrite);
    ASSERT_TRUE(reader.status.Ok());
    EXPECT_EQ(ReadAll(reader.file), "kept");
    OpenedFile denyingReader(name, os::Access::Read, os::Disposition::OpenExisting, os::ShareRead);
    EXPECT_EQ(denyingReader.status.kind, os::ErrorKind::SharingViolation);
}

TEST(File, RemoveAndRenameRefuseAFileHeldOpen)
{
    TempDir dir;
    const std::wstring name = dir.Wide("open.log");
    {
        OpenedFile holder(name, os::Access::Write, os::Disposition::CreateAlways, os::ShareRead | os::ShareWrite);
        ASSERT_TRUE(holder.status.Ok());
        EXPECT_EQ(os::RemoveFile(name).kind, os::ErrorKind::SharingViolation);
        EXPECT_EQ(os::RenameFile(name, dir.Wide("moved.log")).kind, os::ErrorKind::SharingViolation);
        EXPECT_TRUE(os::PathExists(name));
        EXPECT_FALSE(os::PathExists(dir.Wide("moved.log")));
    }
    {
        // ShareDelete lets the name move while the file is open.
        OpenedFile holder(name, os::Access::Write, os::Disposition::OpenExisting, os::ShareRead | os::ShareDelete);
        ASSERT_TRUE(holder.status.Ok());
        EXPECT_TRUE(os::RenameFile(name, dir.Wide("moved.log")).Ok());
    }
    EXPECT_TRUE(os::RemoveFile(dir.Wide("moved.log")).Ok());
    EXPECT_FALSE(os::PathExists(dir.Wide("moved.log")));
    EXPECT_EQ(os::RemoveFile(dir.Wide("moved.log")).kind, os::ErrorKind::NotFound);
}

TEST(File, RenameNeverReplaces)
{
    TempDir dir;
    WriteFile(dir.Path() / "from.log", "from");
    WriteFile(dir.Path() / "to.log", "to");
    EXPECT_EQ(os::RenameFile(dir.Wide("from.log"), dir.Wide("to.log")).kind, os::ErrorKind::AlreadyExists);
    EXPECT_EQ(ReadFile(dir.Path() / "from.log"), "from");
    EXPECT_EQ(ReadFile(dir.Path() / "to.log"), "to");

    ASSERT_TRUE(os::RenameFile(dir.Wide("from.log"), dir.Wide("next.log")).Ok());
    EXPECT_FALSE(os::PathExists(dir.Wide("from.log")));
    EXPECT_EQ(ReadFile(dir.Path() / "next.log"), "from");
    EXPECT_EQ(os::RenameFile(dir.Wide("next.log"), dir.Wide("nodir") + os::PathSeparator() + L"x.log").kind,
              os::ErrorKind::PathNotFound);
}

TEST(File, ReadOnlyFileIsKeptUntilMadeNormal)
{
    TempDir dir;
    const std::wstring name = dir.Wide("locked.log");
    WriteFile(dir.Path() / "locked.log", "keep");
    ASSERT_TRUE(os::SetReadOnly(name).Ok());

    EXPECT_EQ(os::RemoveFile(name).kind, os::ErrorKind::AccessDenied);
    // Windows refuses writing and overwriting too, but Wine run by root lets both through; the POSIX
    // emulation is held to the Windows behaviour.
    if (!kWindows) {
        OpenedFile writer(name, os::Access::Write, os::Disposition::OpenExisting, os::ShareRead);
        EXPECT_EQ(writer.status.kind, os::ErrorKind::AccessDenied);
        OpenedFile overwrite(name, os::Access::Write, os::Disposition::CreateAlways, os::ShareRead);
        EXPECT_EQ(overwrite.status.kind, os::ErrorKind::AccessDenied);
    }
    OpenedFile reader(name, os::Access::Read, os::Disposition::OpenExisting, os::ShareRead);
    EXPECT_TRUE(reader.status.Ok());
    os::CloseFile(reader.file);
    reader.file = os::kInvalidFile;
    EXPECT_EQ(ReadFile(dir.Path() / "locked.log"), "keep");

    ASSERT_TRUE(os::SetNormalAttributes(name).Ok());
    EXPECT_TRUE(os::RemoveFile(name).Ok());
    EXPECT_FALSE(os::PathExists(name));
}
