#include "WindowIntake.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "rolling/DirectoryHelpers.h"
#include "rolling/FileRenameAction.h"
#include "rolling/GZCompressAction.h"

namespace Quorlin {
namespace {

constexpr wchar_t kWaitingMark[] = L".~";

bool Exists(const WString& name) { return os::PathExists(name.StdView()); }

// The part of a path after its last separator.
std::wstring FileNameOf(const WString& path)
{
    const std::wstring_view whole = path.StdView();
    const std::size_t cut = whole.find_last_of(L"/\\");
    return std::wstring(cut == std::wstring_view::npos ? whole : whole.substr(cut + 1));
}

// Compresses `name` in place when it is there; false when gzip proved unusable.
bool Compress(const WString& name)
{
    if (!Exists(name))
        return true;
    GZCompressAction compression(name, name + L".gz", true);
    compression.Execute();
    return !compression.GzipUnusable();
}

}  // namespace

std::shared_ptr<WindowIntake> WindowIntake::Of(const DString& pattern)
{
    // Never destroyed: compression threads may end after static destruction has begun.
    static auto* mutex = new std::mutex();
    static auto* intakes = new std::map<std::string, std::weak_ptr<WindowIntake>>();
    std::lock_guard<std::mutex> lock(*mutex);
    const std::string key(pattern.StdView());
    std::shared_ptr<WindowIntake> intake = (*intakes)[key].lock();
    if (!intake) {
        // Forget the patterns nobody uses any more, so that the map stays as small as the live windows.
        for (auto it = intakes->begin(); it != intakes->end();)
            it = it->second.expired() ? intakes->erase(it) : std::next(it);
        intake = std::make_shared<WindowIntake>();
        (*intakes)[key] = intake;
    }
    return intake;
}

WString WindowIntake::WaitingName(const WString& target, std::uint64_t number)
{
    return target + WString(kWaitingMark) + WString(std::to_wstring(number).c_str());
}

bool WindowIntake::Take(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source, const WString& target)
{
    // No lock is held across a file operation: a fault inside one abandons this frame (see Abandoned).
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!std::exchange(m_Adopted, true)) {
        lock.unlock();
        AdoptLeftOvers(names, target);
        lock.lock();
    }
    // Nothing compresses, nothing is due and nobody else shifts: the window is the roll-over's alone.
    // A compression that is due but whose thread has not begun yet counts as running.
    if (!m_Draining && !m_Shifting && m_Queue.empty()) {
        m_Shifting = true;
        lock.unlock();
        bool moved = false;
        try {
            moved = MoveIn(*names, source, target);
        } catch (...) {
            Abandoned();
            throw;
        }
        lock.lock();
        m_Shifting = false;
        if (moved)
            m_Queue.push_back({std::move(names), target, WString()});
        m_Moved.notify_all();
        return moved;
    }
    WString waiting = WaitingName(target, m_NextNumber++);
    lock.unlock();
    while (Exists(waiting)) {
        lock.lock();
        waiting = WaitingName(target, m_NextNumber++);
        lock.unlock();
    }
    Trace(LevelInfo, "FixedWindowRollPolicy, a compression runs: [{$}] waits as [{$}]", source, waiting);
    if (!FileRenameAction(source, waiting).Execute())
        return false;
    lock.lock();
    m_Queue.push_back({names, target, waiting});
    const std::vector<WString> dropped = DropOverflow(*names);
    lock.unlock();
    Delete(dropped, static_cast<std::int32_t>(names->families.size()));
    return true;
}

void WindowIntake::Abandoned()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Shifting = false;
    m_Moved.notify_all();
}

void WindowIntake::Drain()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Moved.wait(lock, [this] { return !m_Shifting; });
    if (m_Draining)
        return;
    m_Draining = true;
    while (!m_Queue.empty()) {
        const Entry entry = std::move(m_Queue.front());
        m_Queue.pop_front();
        m_Moving = !entry.waiting.IsEmpty();
        lock.unlock();
        const bool moved = entry.waiting.IsEmpty() || MoveIn(*entry.names, entry.waiting, entry.target);
        if (!moved)
            Trace(LevelError, "FixedWindowRollPolicy, cannot move [{$}] into the window as [{$}]; it stays where it is",
                  entry.waiting, entry.target);
        lock.lock();
        m_Moving = false;
        m_Moved.notify_all();
        lock.unlock();
        if (moved)
            CompressWindow(entry);
        lock.lock();
    }
    m_Draining = false;
    m_Moved.notify_all();
}

void WindowIntake::Settle()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (WaitingCount() > 0 || m_Moving) {
        if (!m_Draining) {
            lock.unlock();
            Drain();
            lock.lock();
            continue;
        }
        m_Moved.wait(lock);
    }
}

std::int32_t WindowIntake::Waiting() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return WaitingCount();
}

std::int32_t WindowIntake::WaitingCount() const
{
    return static_cast<std::int32_t>(
        std::count_if(m_Queue.begin(), m_Queue.end(), [](const Entry& e) { return !e.waiting.IsEmpty(); }));
}

bool WindowIntake::MoveIn(const Rolling::Helper::WindowNames& names, const WString& from, const WString& target)
{
    // A lowest index left free (a rename that failed after its shift, or no history yet) takes the file
    // without a shift: app.1.log free, app.2.log.gz stays where it is.
    const auto& families = names.families;
    if (!families.empty() && std::any_of(families.front().begin(), families.front().end(), Exists))
        Rolling::Helper::Rename(names);  // app.9.log -> app.10.log ... app.1.log -> app.2.log
    Trace(LevelInfo, "FixedWindowRollPolicy.Will rename (if exist) [{$}] -> [{$}]", from, target);
    return FileRenameAction(from, target).Execute();
}

void WindowIntake::CompressWindow(const Entry& entry)
{
    if (!Compress(entry.target))
        return;  // the next would fare no better
    // Plain history above the lowest index is what a crash or a killed gzip left uncompressed.
    const auto& families = entry.names->families;
    for (std::size_t k = 1; k < families.size(); ++k)
        if (!Compress(families[k].front()))
            return;
}

void WindowIntake::AdoptLeftOvers(const std::shared_ptr<const Rolling::Helper::WindowNames>& names, const WString& target)
{
    const WString directory = ORBEK::Utility::File::GetDir(target);
    std::vector<std::wstring> listed;
    if (!os::ListDirectory(directory.IsEmpty() ? std::wstring_view(L".") : directory.StdView(), listed).Ok())
        return;
    const std::wstring prefix = FileNameOf(target) + kWaitingMark;
    std::vector<std::uint64_t> numbers;
    for (const std::wstring& name : listed) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || name.size() - prefix.size() > 18)
            continue;
        const std::wstring digits = name.substr(prefix.size());
        if (std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            numbers.push_back(std::stoull(digits));
    }
    if (numbers.empty())
        return;
    std::sort(numbers.begin(), numbers.end());
    std::unique_lock<std::mutex> lock(m_Mutex);
    // Ahead of anything queued since: they rolled before it.
    for (auto number = numbers.rbegin(); number != numbers.rend(); ++number)
        m_Queue.push_front({names, target, WaitingName(target, *number)});
    m_NextNumber = std::max(m_NextNumber, numbers.back() + 1);
    const std::vector<WString> dropped = DropOverflow(*names);
    lock.unlock();
    for (const std::uint64_t number : numbers)
        Trace(LevelInfo, "FixedWindowRollPolicy, [{$}] was left by an earlier run; it goes into the window first",
              WaitingName(target, number));
    Delete(dropped, static_cast<std::int32_t>(names->families.size()));
}

std::int32_t WindowIntake::WaitingOf(const Rolling::Helper::WindowNames& names) const
{
    return static_cast<std::int32_t>(std::count_if(m_Queue.begin(), m_Queue.end(), [&](const Entry& e) {
        return !e.waiting.IsEmpty() && e.names->pattern == names.pattern;
    }));
}

std::vector<WString> WindowIntake::DropOverflow(const Rolling::Helper::WindowNames& names)
{
    std::vector<WString> dropped;
    const auto held = static_cast<std::int32_t>(names.families.size());
    for (std::int32_t waiting = WaitingOf(names); waiting > held; --waiting) {
        const auto oldest = std::find_if(m_Queue.begin(), m_Queue.end(), [&](const Entry& e) {
            return !e.waiting.IsEmpty() && e.names->pattern == names.pattern;
        });
        dropped.push_back(oldest->waiting);
        m_Queue.erase(oldest);
    }
    return dropped;
}

void WindowIntake::Delete(const std::vector<WString>& dropped, std::int32_t held)
{
    for (const WString& name : dropped) {
        Trace(LevelInfo, "FixedWindowRollPolicy, [{$}] has {$} newer files behind it and would leave the window before its "
              "turn; deleted", name, held);
        os::SetNormalAttributes(name.StdView());
        os::RemoveFile(name.StdView());
    }
}

}  // namespace Quorlin
