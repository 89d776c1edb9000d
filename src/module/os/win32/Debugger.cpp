#include "../Debugger.h"

#include "../Native.h"
#include "Win32.h"

namespace Quorlin::os {

void native::DebugOutput(const char* text)
{
    if (text)
        ::OutputDebugStringA(text);
}

void native::Beep(std::uint32_t frequency, std::uint32_t milliseconds) { ::Beep(frequency, milliseconds); }

}  // namespace Quorlin::os
