#pragma once
// "Appender.Memory": hands each accepted event to a callable, on the appending thread.

#include <functional>

#include "diagnostics/Export.h"
#include "host/Appender.h"

namespace Quorlin {

class MemoryAppender : public Appender {
public:
    using Callback = std::function<void(MemoryAppender& appender, const LoggingEvent& event)>;

    MemoryAppender();
    ~MemoryAppender() override;
    bool Open() override;  // always true
    void Close() override;
    // Refusals, then the callable (events are dropped while none is installed).
    void Append(const LoggingEvent* event) override;
    void NewLine(std::int32_t) override {}

    // Installs the callable; do it before events arrive (it is called without a lock).
    void SetCallback(Callback callback) { m_Callback = std::move(callback); }

private:
    Callback m_Callback;
};

}  // namespace Quorlin

// For programs that load the module by name: installs `callback` on an appender the factory made
// for "Appender.Memory". Each accepted event is passed with `context`. False (nothing installed)
// when the appender is not a memory appender. A null callback removes it.
extern "C" QUORLIN_APPENDER_API bool SetMemoryAppenderCallback(Quorlin::Appender* appender,
                                                               void (*callback)(void* context, Quorlin::Appender* appender,
                                                                                const Quorlin::LoggingEvent* event),
                                                               void* context);
