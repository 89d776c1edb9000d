#include "../Clock.h"

#include <time.h>

#include <chrono>

#include "../Native.h"
#include "Win32.h"

namespace Quorlin::os {

std::int64_t native::NowTicks() noexcept
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void native::SleepMs(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

bool ToLocalTime(std::int64_t seconds, std::tm& local)
{
    const __time64_t when = seconds;
    return ::_localtime64_s(&local, &when) == 0;
}

std::int64_t FromLocalTime(std::tm& local) { return ::_mktime64(&local); }

}  // namespace Quorlin::os
