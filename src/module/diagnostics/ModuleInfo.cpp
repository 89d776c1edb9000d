#include "ModuleInfo.h"

#include "os/Path.h"

namespace Quorlin::ModuleInfo {
namespace {

using ORBEK::Utility::DString;

DString g_Path;
DString g_Directory;
const std::chrono::system_clock::time_point g_LoadTime = std::chrono::system_clock::now();

}  // namespace

const DString& Path() { return g_Path; }
const DString& Directory() { return g_Directory; }
std::chrono::system_clock::time_point LoadTime() { return g_LoadTime; }

void RecordLocation(const DString& modulePath)
{
    g_Path = modulePath.Left(260);
    // Clear characters from the end until the one before the cut is a separator; none leaves it empty.
    std::int32_t cut = g_Path.GetLength();
    while (cut > 0 && static_cast<wchar_t>(g_Path[cut - 1]) != os::PathSeparator())
        --cut;
    g_Directory = g_Path.Left(cut);
    if (cut == 0)
        g_Path.Init(), g_Directory.Init();
}

}  // namespace Quorlin::ModuleInfo
