#include "DString.h"

namespace ORBEK::Utility {
namespace {
constexpr std::int32_t kTLSBufferSize = 16384;
thread_local char t_Buffer[kTLSBufferSize];
}  // namespace

char* DString_TLSBuffer_Get() { return t_Buffer; }
std::int32_t DString_TLSBuffer_Size() { return kTLSBufferSize; }

}  // namespace ORBEK::Utility
