#include "TimeZone.h"

#include <cstdlib>
#include <ctime>

namespace QuorlinTest {

ScopedTimeZone::ScopedTimeZone(const char* rule)
{
    if (const char* previous = std::getenv("TZ")) {
        m_HadPrevious = true;
        m_Previous = previous;
    }
    ::setenv("TZ", rule, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_HadPrevious)
        ::setenv("TZ", m_Previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace QuorlinTest
