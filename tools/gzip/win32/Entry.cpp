#include <filesystem>
#include <vector>

#include "../Gzip.h"

// wmain: file names reach the program as they are, whatever the code page.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    return Gzip::Run(arguments);
}
