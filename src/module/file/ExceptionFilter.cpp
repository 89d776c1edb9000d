#include "ExceptionFilter.h"

#include "diagnostics/Trace.h"
#include "os/Debugger.h"
#include "os/FaultGuard.h"
#include "os/SystemLog.h"

namespace Quorlin {
namespace {

struct NamedCode {
    std::uint32_t code;
    const char* name;
};

constexpr NamedCode kNames[] = {
    {0x80000001, "exception_guard_page"},
    {0x80000002, "exception_datatype_misalignment"},
    {0x80000003, "exception_breakpoint"},
    {0x80000004, "exception_single_step"},
    {0xC0000005, "exception_access_violation"},
    {0xC0000006, "exception_in_page_error"},
    {0xC0000008, "exception_invalid_handle"},
    {0xC000001D, "exception_illegal_instruction"},
    {0xC0000025, "exception_noncontinuable_exception"},
    {0xC0000026, "exception_invalid_disposition"},
    {0xC000008C, "exception_array_bounds_exceeded"},
    {0xC000008D, "exception_flt_denormal_operand"},
    {0xC000008E, "exception_flt_divide_by_zero"},
    {0xC000008F, "exception_flt_inexact_result"},
    {0xC0000090, "exception_flt_invalid_operation"},
    {0xC0000091, "exception_flt_overflow"},
    {0xC0000092, "exception_flt_stack_check"},
    {0xC0000093, "exception_flt_underflow"},
    {0xC0000094, "exception_int_divide_by_zero"},
    {0xC0000095, "exception_int_overflow"},
    {0xC0000096, "exception_priv_instruction"},
    {0xC00000FD, "exception_stack_overflow"},
};

constexpr const char* kRolloverException = "Exception at RollingFileAppender::Rollover";

}  // namespace

const char* ExceptionName(std::uint32_t code) noexcept
{
    for (const NamedCode& n : kNames)
        if (n.code == code)
            return n.name;
    return nullptr;
}

int ExceptionFilter(std::uint32_t code) noexcept
{
    LogLog::NewLine();
    Trace(LevelFatal, "Enter ExceptionFilter.");
    if (const char* name = ExceptionName(code))
        Trace(LevelError, name);
    os::Beep(1000, 1000);  // also with diagnostics off
    return 1;
}

void ReportRolloverException(const DString& appenderName) noexcept
{
    const os::EventSource source = os::RegisterSource(appenderName.c_str());
    if (source != nullptr)
        os::ReportToSource(source, os::kEventWarning, 0, 10000, kRolloverException);
    os::DeregisterSource(source);
    Trace(LevelFatal, kRolloverException);
}

bool RunGuardedRollover(const DString& appenderName, void (*step)(void*), void* context) noexcept
{
    std::uint32_t code = 0;
    if (os::RunGuarded(step, context, code))
        return true;
    ExceptionFilter(code);
    ReportRolloverException(appenderName);
    return false;
}

}  // namespace Quorlin
