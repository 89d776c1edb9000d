#include <filesystem>
#include <vector>

#include "../Gzip.h"

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    return Gzip::Run(arguments);
}
