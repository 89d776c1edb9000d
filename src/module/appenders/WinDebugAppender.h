#pragma once
// "Appender.WindowsDebug": each rendered event to the debugger output stream.

#include "host/Appender.h"

namespace Quorlin {

class WinDebugAppender : public Appender {
public:
    WinDebugAppender();
    bool Open() override;  // always true
    void Close() override;
    void Append(const LoggingEvent* event) override;
};

}  // namespace Quorlin
