// Our gzip.exe on its own: what it leaves behind when it cannot do its work. Windows tree only; on
// Linux the module uses the system's gzip.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RollingTestSupport.h"
#include "os/Clock.h"
#include "os/Module.h"
#include "os/Process.h"

using namespace QuorlinTest;
namespace fs = std::filesystem;
namespace os = Quorlin::os;

namespace {

// Runs gzip.exe (beside the test) with the arguments and gives its exit code; -1 when it hangs.
int Gzip(const std::wstring& arguments)
{
    const std::string self = os::ExecutablePath();
    const std::wstring program = fs::path(std::u8string(self.begin(), self.end())).parent_path().wstring() + L"\\gzip.exe";
    os::ProcessHandle child;
    if (!os::Spawn(program, L"\"" + program + L"\" " + arguments, child).Ok())
        return -2;
    std::uint32_t code = os::kStillActive;
    for (int i = 0; i < 600 && os::ExitCodeOf(child, code).Ok() && code == os::kStillActive; ++i)
        os::SleepMs(50);
    os::CloseProcess(child);
    return code == os::kStillActive ? -1 : static_cast<int>(code);
}

std::wstring Quoted(const TempDir& dir, const std::string& name) { return L"\"" + dir.Wide(name) + L"\""; }

}  // namespace

TEST(GzipProgram, FailsWithoutLeavingAnythingBehind)
{
    if (!kWindows)
        GTEST_SKIP() << "gzip.exe belongs to the Windows tree";
    TempDir dir;
    EXPECT_EQ(Gzip(L"-f " + Quoted(dir, "missing.log")), 1);
    EXPECT_TRUE(Files(dir.Path()).empty());

    // Without -f an existing .gz stays as it was, and so does the source.
    Touch(dir, "app.log", "new");
    Touch(dir, "app.log.gz", "old");
    EXPECT_EQ(Gzip(Quoted(dir, "app.log")), 1);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.log", "app.log.gz"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app.log.gz"), "old");

    // A target that cannot be written: the compressed data has nowhere to go, the source stays.
    fs::create_directories(dir.Path() / "busy.log.gz.part" / "x");
    Touch(dir, "busy.log", "data");
    EXPECT_EQ(Gzip(L"-f " + Quoted(dir, "busy.log")), 1);
    EXPECT_TRUE(fs::exists(dir.Path() / "busy.log"));
    EXPECT_FALSE(fs::exists(dir.Path() / "busy.log.gz"));

    EXPECT_EQ(Gzip(L"-x " + Quoted(dir, "app.log")), 1);
    EXPECT_EQ(Gzip(L"-f"), 1);
}

TEST(GzipProgram, KeepsOrReplacesTheSource)
{
    if (!kWindows)
        GTEST_SKIP() << "gzip.exe belongs to the Windows tree";
    TempDir dir;
    Touch(dir, "a.log", "aaaa");
    Touch(dir, "b.log", "bbbb");
    Touch(dir, "b.log.gz", "stale");
    EXPECT_EQ(Gzip(L"-k -v " + Quoted(dir, "a.log")), 0);
    EXPECT_EQ(Gzip(L"-fv " + Quoted(dir, "b.log")), 0);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"a.log", "a.log.gz", "b.log.gz"}));
    EXPECT_NE(ReadFile(dir.Path() / "b.log.gz"), "stale");
}
