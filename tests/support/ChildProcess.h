#pragma once
// Child processes for tests: the test binary re-run as `binary --child=NAME args...`.

#include <string>

namespace QuorlinTest {

using ChildMain = int (*)(int argc, char** argv);

struct ChildRegistrar {
    ChildRegistrar(const char* name, ChildMain main);
};

// QUORLIN_CHILD(sleeper) { ...; return exitCode; } defines the child named "sleeper".
#define QUORLIN_CHILD(name)                                                                                                      \
    static int QuorlinChild_##name(int argc, char** argv);                                                                       \
    static ::QuorlinTest::ChildRegistrar QuorlinChildReg_##name(#name, &QuorlinChild_##name);                                    \
    static int QuorlinChild_##name([[maybe_unused]] int argc, [[maybe_unused]] char** argv)

}  // namespace QuorlinTest
