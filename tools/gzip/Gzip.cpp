#include "Gzip.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "MemberCompressor.h"

namespace fs = std::filesystem;

namespace Gzip {
namespace {

// Where the library compresses whole buffers, up to this much of a file is one member: a file no
// larger (a typical history file) is a single member, whose trailer gives its size to `gzip -l`.
constexpr std::size_t kDefaultBlock = std::size_t{64} << 20;

struct Options {
    bool force = false;    // -f: replace an existing FILE.gz
    bool keep = false;     // -k: keep FILE
    bool verbose = false;  // -v: one line per file on standard error
    int level = kDefaultLevel;
    std::size_t block = kDefaultBlock;  // -b BYTES
    bool timed = false;    // -T: the seconds spent compressing, on standard output
};

std::string Printable(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void Complain(const fs::path& file, const std::string& what)
{
    std::fprintf(stderr, "gzip: %s: %s\n", Printable(file).c_str(), what.c_str());
}

// Deflates `source` into `target`, 64 KiB at a time; false with a message on any failure.
bool Deflate(const fs::path& source, const fs::path& target, const Options& options, std::uint64_t& in,
             std::uint64_t& out, std::string& error)
{
    std::ifstream input(source, std::ios::binary);
    if (!input) {
        error = "cannot open for reading";
        return false;
    }
    std::ofstream output(target, std::ios::binary | std::ios::trunc);
    if (!output) {
        error = "cannot create " + Printable(target);
        return false;
    }
    MemberCompressor compressor(options.level, options.block);
    std::vector<char> piece(1 << 16);
    in = out = 0;
    bool last = false;
    while (!last) {
        input.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (input.bad()) {
            error = "read error";
            return false;
        }
        const auto got = static_cast<std::size_t>(input.gcount());
        in += got;
        last = input.eof();
        std::string_view ready;
        if (!compressor.Take(piece.data(), got, last, ready)) {
            error = "compression failed";
            return false;
        }
        output.write(ready.data(), static_cast<std::streamsize>(ready.size()));
        out += ready.size();
        if (!output) {
            error = "write error on " + Printable(target);
            return false;
        }
    }
    output.close();
    if (!output) {
        error = "write error on " + Printable(target);
        return false;
    }
    return true;
}

bool Compress(const fs::path& file, const Options& options)
{
    std::error_code ec;
    if (file.extension() == ".gz") {
        Complain(file, "already has .gz suffix -- unchanged");
        return false;
    }
    if (!fs::is_regular_file(file, ec)) {
        Complain(file, ec ? ec.message() : "not a regular file");
        return false;
    }
    fs::path target = file;
    target += ".gz";
    if (!options.force && fs::exists(target, ec)) {
        Complain(target, "already exists; not overwritten");
        return false;
    }
    fs::path partial = file;
    partial += ".gz.part";

    std::uint64_t in = 0, out = 0;
    std::string error;
    if (!Deflate(file, partial, options, in, out, error)) {
        fs::remove(partial, ec);
        Complain(file, error);
        return false;
    }
    // Only a complete, closed file takes the final name (replacing a stale one with -f).
    fs::rename(partial, target, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(partial, ec);
        Complain(target, "cannot rename the compressed file: " + reason);
        return false;
    }
    bool ok = true;
    if (!options.keep) {
        fs::remove(file, ec);
        if (ec) {
            Complain(file, "compressed, but cannot be removed: " + ec.message());
            ok = false;
        }
    }
    if (options.verbose) {
        const double saved = in == 0 ? 0.0 : 100.0 * (1.0 - static_cast<double>(out) / static_cast<double>(in));
        std::fprintf(stderr, "%s:\t%5.1f%% -- %s %s\n", Printable(file).c_str(), saved,
                     options.keep ? "created" : "replaced with", Printable(target).c_str());
    }
    return ok;
}

// A block size in bytes, from 4 KiB to 1 GiB.
bool ParseBlock(const std::u8string& text, std::size_t& block)
{
    std::size_t value = 0;
    for (const char8_t c : text) {
        if (c < u8'0' || c > u8'9' || value > (std::size_t{1} << 30))
            return false;
        value = value * 10 + static_cast<std::size_t>(c - u8'0');
    }
    if (text.empty() || value < 4096 || value > (std::size_t{1} << 30))
        return false;
    block = value;
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: gzip [-f] [-k] [-v] [-T] [-1 ... -9] [-b BYTES] FILE...\n       gzip -V\n");
    return 1;
}

}  // namespace

int Run(const std::vector<fs::path>& arguments)
{
    Options options;
    std::vector<fs::path> files;
    bool optionsDone = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const fs::path& argument = arguments[i];
        const std::u8string arg = argument.u8string();
        if (!optionsDone && arg == u8"-b") {
            if (i + 1 == arguments.size() || !ParseBlock(arguments[++i].u8string(), options.block))
                return Usage();
        } else if (!optionsDone && arg == u8"--") {
            optionsDone = true;
        } else if (!optionsDone && arg.size() > 1 && arg[0] == u8'-') {
            for (std::size_t c = 1; c < arg.size(); ++c) {
                const char8_t flag = arg[c];
                if (flag == u8'f')
                    options.force = true;
                else if (flag == u8'k')
                    options.keep = true;
                else if (flag == u8'v')
                    options.verbose = true;
                else if (flag == u8'T')
                    options.timed = true;
                else if (flag >= u8'1' && flag <= u8'9')
                    options.level = flag - u8'0';
                else if (flag == u8'V' && arg.size() == 2)
                    return std::printf("gzip (Quorlin) over %s\n", MemberCompressor::Library().c_str()) > 0 ? 0 : 1;
                else
                    return Usage();
            }
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty())
        return Usage();
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (const fs::path& file : files)
        ok = Compress(file, options) && ok;
    if (options.timed)
        std::printf("%.6f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return ok ? 0 : 1;
}

}  // namespace Gzip
