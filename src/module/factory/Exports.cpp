#include "diagnostics/Export.h"
#include "diagnostics/LostEvents.h"
#include "diagnostics/WriteStalls.h"
#include "factory/Factory.h"
#include "file/CompressionLauncher.h"

// The factory entry the framework looks up by this plain name. A null type is the empty text; the
// second argument is accepted and not used. The caller owns the result and deletes it through its
// virtual destructor.
extern "C" QUORLIN_APPENDER_API Quorlin::Appender* CreateAppender(const char* type, void* /*reserved*/)
{
    return Quorlin::Factory::CreateAppender(ORBEK::Utility::StringView(type));
}

// For hosts about to end the process or unload the module: waits up to `milliseconds` until the
// compressions started by rolling file appenders have finished. True when none runs any more.
extern "C" QUORLIN_APPENDER_API bool WaitForCompressions(unsigned int milliseconds)
{
    return Quorlin::CompressionLauncher::WaitForAll(milliseconds);
}

// For hosts that report a run's outcome: the events the module's appender called `name` accepted and
// could not write since the module was loaded (a full disk, a file that would not open, a writer
// closed under it, a forwarder's buffer given up). Every such loss is also reported in the
// diagnostics at LevelError.
extern "C" QUORLIN_APPENDER_API unsigned long long LostEventsOf(const char* name)
{
    return Quorlin::LostEvents::Of(name != nullptr ? std::string(name) : std::string());
}

// For hosts that can hold their input back: waits up to `milliseconds` until every file appender of
// the module can write again (none is held up by a full disk or a file that will not open), asking
// them to try meanwhile. True at once when none is held up; a host that keeps feeding instead has
// what does not fit the appenders' backlogs counted as lost.
extern "C" QUORLIN_APPENDER_API bool WaitUntilWritable(unsigned int milliseconds)
{
    return Quorlin::WriteStalls::WaitUntilClear(milliseconds);
}
