#include "GZCompressAction.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "diagnostics/ModuleInfo.h"
#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "os/Program.h"
#include "rolling/ProcessRunner.h"

namespace Quorlin {
namespace {

// The spaces belong to the literals.
constexpr wchar_t kDeleteSourceOptions[] = L"-f -v   ";
constexpr wchar_t kKeepSourceOptions[] = L"-f -k -v    ";

// The sources being compressed in this process: two compressions of one file at once would each
// take the other's archive for a stale one.
class SourceClaim {
public:
    explicit SourceClaim(const WString& source) : m_Source(source.StdView())
    {
        std::lock_guard<std::mutex> lock(Mutex());
        m_Taken = Claimed().insert(m_Source).second;
    }
    ~SourceClaim()
    {
        if (!m_Taken)
            return;
        std::lock_guard<std::mutex> lock(Mutex());
        Claimed().erase(m_Source);
    }
    SourceClaim(const SourceClaim&) = delete;
    SourceClaim& operator=(const SourceClaim&) = delete;
    bool Taken() const { return m_Taken; }

private:
    // Never destroyed: compression threads may end after static destruction has begun.
    static std::mutex& Mutex()
    {
        static auto* mutex = new std::mutex();
        return *mutex;
    }
    static std::set<std::wstring>& Claimed()
    {
        static auto* claimed = new std::set<std::wstring>();
        return *claimed;
    }
    std::wstring m_Source;
    bool m_Taken = false;
};

}  // namespace

GZCompressAction::GZCompressAction(const WString& source, const WString& target, bool deleteSource)
    : m_Source(source), m_Target(target), m_DeleteSource(deleteSource)
{
}

GZCompressAction::~GZCompressAction() = default;

WString QuoteArgument(const WString& argument)
{
    WString quoted;
    // Room for the usual case, a name without quotes or trailing backslashes, in one allocation.
    quoted.Reserve(argument.GetLength() + 8);
    quoted.Append(L'"');
    std::int32_t backslashes = 0;
    for (std::int32_t i = 0; i < argument.GetLength(); ++i) {
        const wchar_t c = argument[i];
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // 2n backslashes before a quote read back as n, and \" as a quote.
        const std::int32_t copies = c == L'"' ? backslashes * 2 + 1 : backslashes;
        for (std::int32_t b = 0; b < copies; ++b)
            quoted.Append(L'\\');
        backslashes = 0;
        quoted.Append(c);
    }
    for (std::int32_t b = 0; b < backslashes * 2; ++b)
        quoted.Append(L'\\');
    quoted.Append(L'"');
    return quoted;
}

WString GZCompressAction::ProgramPath() const
{
    const WString directory(ModuleInfo::Directory());
    const std::wstring path = os::LocateHelperProgram(directory.StdView(), L"gzip");
    return WString(std::wstring_view(path));
}

WString GZCompressAction::CommandLine(const WString& programPath) const
{
    // The program name leads, as every C runtime expects its first argument to be; the program name
    // part of a command line knows no escapes, only the quotes around it.
    WString line;
    line.Reserve(programPath.GetLength() + m_Source.GetLength() + 32);
    line << L"\"" << programPath << L"\" " << (m_DeleteSource ? kDeleteSourceOptions : kKeepSourceOptions)
         << QuoteArgument(m_Source);
    return line;
}

bool GZCompressAction::Execute()
{
    m_GzipUnusable = false;
    const SourceClaim claim(m_Source);
    // Gone: compressed by an earlier compression, whose archive must stay.
    if (!claim.Taken() || !os::PathExists(m_Source.StdView()))
        return true;
    if (os::PathExists(m_Target.StdView())) {
        Trace(LevelWarn, "GZCompressAction, will delete [{$}]", m_Target);
        os::SetNormalAttributes(m_Target.StdView());
        os::RemoveFile(m_Target.StdView());
    }
    const WString program = ProgramPath();
    const WString line = CommandLine(program);
    // The runner takes a writable line, as CreateProcessW may write into it.
    std::vector<wchar_t> writable(line.c_str(), line.c_str() + line.GetLength() + 1);
    std::uint32_t code = 0;
    const bool ended = RunAndWaitSysCommand(program.c_str(), writable.data(), kRunPollCount, kRunPollIntervalMs, &code);
    m_GzipUnusable = !ended;
    // gzip removes its source only once the archive is complete. A source still there after gzip ended
    // (it failed, or was killed half way) leaves whatever lies under the target incomplete: remove it,
    // so that no truncated archive carries the final name; the source stays as the history file. When
    // the source is kept anyway, only the exit code tells.
    const bool incomplete = ended && (m_DeleteSource ? os::PathExists(m_Source.StdView()) : code != 0);
    if (incomplete && os::PathExists(m_Target.StdView())) {
        Trace(LevelError, "GZCompressAction, [{$}] was not compressed (exit code {$}); removing the incomplete [{$}]", m_Source,
              code, m_Target);
        os::SetNormalAttributes(m_Target.StdView());
        os::RemoveFile(m_Target.StdView());
    }
    return true;
}

}  // namespace Quorlin
