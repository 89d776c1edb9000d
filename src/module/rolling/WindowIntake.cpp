#include "WindowIntake.h"

#include <algorithm>
#include <chrono>
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
// Compressions at once: the producers keep one core busy on a small machine, and a window that fell
// behind catches up on the other.
constexpr std::int32_t kMostCompressions = 2;
// The longest a Close waits for compressions that files behind them wait for.
constexpr std::int64_t kSettleSeconds = 5;

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

bool WindowIntake::WindowFree() const { return m_Queue.empty() && m_InPlace == 0 && !m_Moving && !m_Shifting; }

bool WindowIntake::Take(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source, const WString& target)
{
    // No lock is held across a file operation: a fault inside one abandons this frame (see Abandoned).
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!std::exchange(m_Adopted, true)) {
        lock.unlock();
        AdoptLeftOvers(names, target);
        lock.lock();
    }
    if (WindowFree()) {
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
            m_Queue.push_back(std::make_shared<Entry>(Entry{std::move(names), target, WString()}));
        m_Changed.notify_all();
        return moved;
    }
    WString waiting = WaitingName(target, m_NextNumber++);
    lock.unlock();
    while (Exists(waiting) || Exists(waiting + L".gz")) {
        lock.lock();
        waiting = WaitingName(target, m_NextNumber++);
        lock.unlock();
    }
    Trace(LevelInfo, "FixedWindowRollPolicy, a compression runs: [{$}] waits as [{$}]", source, waiting);
    if (!FileRenameAction(source, waiting).Execute())
        return false;
    lock.lock();
    m_Queue.push_back(std::make_shared<Entry>(Entry{names, target, waiting}));
    const std::vector<WString> dropped = DropOverflow(*names);
    lock.unlock();
    Delete(dropped);
    return true;
}

void WindowIntake::Abandoned()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Shifting = false;
    m_Changed.notify_all();
}

void WindowIntake::Work()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    // Under the mutex again, once the step's own counts are back.
    const auto changed = [&] {
        ++m_Changes;
        m_Changed.notify_all();
    };
    for (;;) {
        const EntryPtr front = m_Queue.empty() ? nullptr : m_Queue.front();
        // The oldest file, once it waited and its archive is complete, goes in: nothing inside the
        // window is being compressed or moved then.
        if (front && !front->waiting.IsEmpty() && front->state == State::Compressed && m_InPlace == 0 && !m_Moving &&
            !m_Shifting) {
            m_Queue.pop_front();
            m_Moving = true;
            lock.unlock();
            TakeIn(*front);
            lock.lock();
            m_Moving = false;
            changed();
            continue;
        }
        if (m_Compressing >= kMostCompressions)
            return;
        // The file a roll-over moved in itself is compressed where it is; no shift meanwhile.
        if (front && front->waiting.IsEmpty() && !m_Moving) {
            m_Queue.pop_front();
            ++m_Compressing, ++m_InPlace;
            lock.unlock();
            CompressWindow(*front);
            lock.lock();
            --m_Compressing, --m_InPlace;
            changed();
            continue;
        }
        // A file that waits is compressed beside the window, where nothing moves it.
        const auto due = std::find_if(m_Queue.begin(), m_Queue.end(),
                                      [](const EntryPtr& e) { return !e->waiting.IsEmpty() && e->state == State::Due; });
        if (due == m_Queue.end())
            return;
        const EntryPtr entry = *due;
        entry->state = State::Compressing;
        ++m_Compressing;
        lock.unlock();
        Compress(entry->waiting);  // an unusable gzip leaves it plain, to go in as it is
        lock.lock();
        entry->state = State::Compressed;
        --m_Compressing;
        if (entry->dropped) {
            lock.unlock();
            Delete({entry->waiting, entry->waiting + L".gz"});
            lock.lock();
        }
        changed();
    }
}

bool WindowIntake::TakeInOneForClose(std::unique_lock<std::mutex>& lock)
{
    if (m_InPlace > 0 || m_Moving || m_Shifting)
        return false;
    // The files moved in by a roll-over itself stay where they are; the first that waits goes in
    // unless gzip reads it.
    const auto first = std::find_if(m_Queue.begin(), m_Queue.end(), [](const EntryPtr& e) { return !e->waiting.IsEmpty(); });
    if (first == m_Queue.end() || (*first)->state == State::Compressing)
        return false;
    const EntryPtr entry = *first;
    m_Queue.erase(first);
    m_Moving = true;
    lock.unlock();
    TakeIn(*entry);  // a plain one is compressed with the plain history at a later roll-over
    lock.lock();
    m_Moving = false;
    ++m_Changes;
    m_Changed.notify_all();
    return true;
}

void WindowIntake::Settle()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSettleSeconds);
    std::unique_lock<std::mutex> lock(m_Mutex);
    // The threads that compress take every waiting file in, each once gzip is done with it.
    if (m_Changed.wait_until(lock, deadline, [this] { return WaitingCount() == 0 && !m_Moving; }))
        return;
    Trace(LevelWarn, "FixedWindowRollPolicy, {$} files still wait beside the window after {$} s; they go in when gzip is done "
          "with them, or at the next roll-over", WaitingCount(), static_cast<std::int64_t>(kSettleSeconds));
    while (TakeInOneForClose(lock)) {
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
        std::count_if(m_Queue.begin(), m_Queue.end(), [](const EntryPtr& e) { return !e->waiting.IsEmpty(); }));
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

void WindowIntake::TakeIn(const Entry& entry)
{
    const WString archive = entry.waiting + L".gz";
    const bool compressed = Exists(archive);
    if (!MoveIn(*entry.names, compressed ? archive : entry.waiting, compressed ? entry.target + L".gz" : entry.target)) {
        Trace(LevelError, "FixedWindowRollPolicy, cannot move [{$}] into the window as [{$}]; it stays where it is",
              compressed ? archive : entry.waiting, entry.target);
        return;
    }
    // An archive is complete before gzip removes its source: a source still there is a copy.
    if (compressed && Exists(entry.waiting))
        Delete({entry.waiting});
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
    std::map<std::uint64_t, bool> numbers;  // number -> whether the plain file is there
    for (std::wstring name : listed) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const bool archive = name.size() > 3 && name.compare(name.size() - 3, 3, L".gz") == 0;
        const std::wstring digits = name.substr(prefix.size(), name.size() - prefix.size() - (archive ? 3 : 0));
        if (digits.empty() || digits.size() > 18 ||
            !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            continue;
        bool& plain = numbers[std::stoull(digits)];
        plain = plain || !archive;
    }
    if (numbers.empty())
        return;
    std::unique_lock<std::mutex> lock(m_Mutex);
    // Ahead of anything queued since: they rolled before it.
    for (auto number = numbers.rbegin(); number != numbers.rend(); ++number) {
        auto entry = std::make_shared<Entry>(Entry{names, target, WaitingName(target, number->first)});
        entry->state = number->second ? State::Due : State::Compressed;  // a plain file is compressed again
        m_Queue.push_front(std::move(entry));
    }
    m_NextNumber = std::max(m_NextNumber, numbers.rbegin()->first + 1);
    const std::vector<WString> dropped = DropOverflow(*names);
    lock.unlock();
    for (const auto& [number, plain] : numbers)
        Trace(LevelInfo, "FixedWindowRollPolicy, [{$}] was left by an earlier run; it goes into the window first",
              WaitingName(target, number));
    Delete(dropped);
}

std::int32_t WindowIntake::WaitingOf(const Rolling::Helper::WindowNames& names) const
{
    return static_cast<std::int32_t>(std::count_if(m_Queue.begin(), m_Queue.end(), [&](const EntryPtr& e) {
        return !e->waiting.IsEmpty() && e->names->pattern == names.pattern;
    }));
}

std::vector<WString> WindowIntake::DropOverflow(const Rolling::Helper::WindowNames& names)
{
    std::vector<WString> dropped;
    const auto held = static_cast<std::int32_t>(names.families.size());
    for (std::int32_t waiting = WaitingOf(names); waiting > held; --waiting) {
        const auto oldest = std::find_if(m_Queue.begin(), m_Queue.end(), [&](const EntryPtr& e) {
            return !e->waiting.IsEmpty() && e->names->pattern == names.pattern;
        });
        const EntryPtr entry = *oldest;
        m_Queue.erase(oldest);
        Trace(LevelInfo, "FixedWindowRollPolicy, [{$}] has {$} newer files behind it and would leave the window before its "
              "turn; deleted", entry->waiting, held);
        if (entry->state == State::Compressing) {
            entry->dropped = true;  // gzip reads it: deleted once it is done
            continue;
        }
        dropped.push_back(entry->waiting);
        dropped.push_back(entry->waiting + L".gz");
    }
    return dropped;
}

void WindowIntake::Delete(const std::vector<WString>& dropped)
{
    for (const WString& name : dropped) {
        os::SetNormalAttributes(name.StdView());
        os::RemoveFile(name.StdView());
    }
}

}  // namespace Quorlin
