#pragma once
// Time: the system clock in ticks, sleeping, local calendar time.

#include <cstdint>
#include <ctime>

namespace Quorlin::os {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;

// 100-nanosecond units since 1970-01-01 UTC from the system clock (or from an installed Interposer).
std::int64_t NowTicks() noexcept;

void SleepMs(std::uint32_t milliseconds);

// Seconds since 1970 to local calendar time (_localtime64_s / localtime_r); false when out of range.
bool ToLocalTime(std::int64_t seconds, std::tm& local);

// Local calendar time to seconds since 1970 (_mktime64 / mktime, normalising fields); -1 on failure.
std::int64_t FromLocalTime(std::tm& local);

}  // namespace Quorlin::os
