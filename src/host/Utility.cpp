#include "Utility.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <string_view>

#include "System.h"

namespace Quorlin::Utility {
namespace {

std::atomic<bool> g_LogOn{false};

std::mutex& GlobalMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, std::string>& GlobalMap()
{
    static std::map<std::string, std::string> map;
    return map;
}

void AppendNumber(std::string& out, int value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

// Expands one token (the text between the braces); false when it is not one of ours.
bool ExpandToken(std::string_view token, const std::tm& t, std::string& out)
{
    struct Field {
        const char* name;
        int value;
        int width;
    };
    const Field fields[] = {
        {"yyyy", t.tm_year + 1900, 4}, {"yy", (t.tm_year + 1900) % 100, 2},
        {"MM", t.tm_mon + 1, 2},       {"M", t.tm_mon + 1, 1},
        {"dd", t.tm_mday, 2},          {"d", t.tm_mday, 1},
        {"HH", t.tm_hour, 2},          {"H", t.tm_hour, 1},
        {"mm", t.tm_min, 2},           {"m", t.tm_min, 1},
        {"ss", t.tm_sec, 2},           {"s", t.tm_sec, 1},
    };
    for (const Field& f : fields) {
        if (token == f.name) {
            AppendNumber(out, f.value, f.width);
            return true;
        }
    }
    constexpr std::string_view kGlobal = "GlobalMap:";
    if (token.substr(0, kGlobal.size()) == kGlobal) {
        out += GetGlobalValue(std::string(token.substr(kGlobal.size())));
        return true;
    }
    return false;
}

WString Expand(const char* pattern, std::int64_t seconds)
{
    std::tm local{};
    if (!Detail::System::ToLocalTime(seconds, local))
        local = std::tm{};
    const std::string_view text = pattern == nullptr ? std::string_view() : std::string_view(pattern);
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '{' ? text.find('}', i + 1) : std::string_view::npos;
        if (close != std::string_view::npos && ExpandToken(text.substr(i + 1, close - i - 1), local, out)) {
            i = close + 1;
            continue;
        }
        out += text[i++];
    }
    return WString(ORBEK::Utility::DString(out.data(), static_cast<std::int32_t>(out.size())));
}

}  // namespace

bool IsLogOn() { return g_LogOn.load(); }
void SetLogOn(bool on) { g_LogOn.store(on); }

WString PatternToFileName(const char* pattern)
{
    return Expand(pattern, Detail::System::NowTicks() / Detail::System::kTicksPerSecond);
}

WString PatternToFileName(const char* pattern, const std::int64_t* seconds)
{
    return Expand(pattern, seconds != nullptr ? *seconds : Detail::System::NowTicks() / Detail::System::kTicksPerSecond);
}

WString NormalizeForFileName(const wchar_t* text, std::int32_t length)
{
    WString out;
    if (text == nullptr)
        return out;
    const wchar_t separator = Detail::System::PathSeparator();
    for (std::int32_t i = 0; i < length && text[i] != L'\0'; ++i) {
        wchar_t c = text[i];
        if (Detail::System::IsPathSeparator(c)) {
            c = separator;
            // Keep a leading pair (a network name); collapse doubled separators elsewhere.
            if (i > 1 && out.GetLength() > 0 && out[out.GetLength() - 1] == separator)
                continue;
        }
        out.Append(c);
    }
    return out;
}

DString toYMDHMS(std::int64_t ticks)
{
    std::int64_t seconds = ticks / Detail::System::kTicksPerSecond;
    if (ticks < 0 && ticks % Detail::System::kTicksPerSecond != 0)
        --seconds;
    std::tm t{};
    if (!Detail::System::ToLocalTime(seconds, t))
        t = std::tm{};
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                                t.tm_hour, t.tm_min, t.tm_sec);
    return DString(text, n);
}

DString toYMDHMS(std::chrono::system_clock::time_point time)
{
    const auto ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
        time.time_since_epoch());
    return toYMDHMS(ticks.count());
}

void SetGlobalValue(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> lock(GlobalMutex());
    GlobalMap()[name] = value;
}

std::string GetGlobalValue(const std::string& name)
{
    std::lock_guard<std::mutex> lock(GlobalMutex());
    const auto it = GlobalMap().find(name);
    return it == GlobalMap().end() ? std::string() : it->second;
}

}  // namespace Quorlin::Utility
