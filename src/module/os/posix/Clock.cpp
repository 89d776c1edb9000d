#include "../Clock.h"

#include <cerrno>
#include <chrono>
#include <limits>

#include "../Native.h"

namespace Quorlin::os {

std::int64_t native::NowTicks() noexcept
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void native::SleepMs(std::uint32_t milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

bool ToLocalTime(std::int64_t seconds, std::tm& local)
{
    if (seconds < std::numeric_limits<time_t>::min() || seconds > std::numeric_limits<time_t>::max())
        return false;
    const time_t when = static_cast<time_t>(seconds);
    return ::localtime_r(&when, &local) != nullptr;
}

std::int64_t FromLocalTime(std::tm& local) { return static_cast<std::int64_t>(std::mktime(&local)); }

}  // namespace Quorlin::os
