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
    ::_putenv_s("TZ", rule);
    ::_tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    // An empty value removes the variable.
    ::_putenv_s("TZ", m_HadPrevious ? m_Previous.c_str() : "");
    ::_tzset();
}

}  // namespace QuorlinTest
