// Test entry point. A test that needs a child process re-runs this binary with --child=NAME;
// the child runs the function registered under that name and exits with its result.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "ChildProcess.h"

namespace QuorlinTest {

std::map<std::string, ChildMain>& ChildRegistry()
{
    static std::map<std::string, ChildMain> registry;
    return registry;
}

ChildRegistrar::ChildRegistrar(const char* name, ChildMain main) { ChildRegistry()[name] = main; }

}  // namespace QuorlinTest

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--child=", 8) == 0) {
            auto& registry = QuorlinTest::ChildRegistry();
            auto it = registry.find(argv[i] + 8);
            if (it == registry.end())
                return 99;
            return it->second(argc - i - 1, argv + i + 1);
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
