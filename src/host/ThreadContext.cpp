#include "ThreadContext.h"

namespace Quorlin::ThreadContext {
namespace {
constexpr std::int32_t kInternalSize = 4096;
constexpr std::int32_t kLayoutSize = 65536;
thread_local char t_Internal[kInternalSize];
thread_local char t_Layout[kLayoutSize];
}  // namespace

char* TLSInternal::Get() { return t_Internal; }
std::int32_t TLSInternal::Size() { return kInternalSize; }
char* TLSLayout::Get() { return t_Layout; }
std::int32_t TLSLayout::Size() { return kLayoutSize; }

}  // namespace Quorlin::ThreadContext
