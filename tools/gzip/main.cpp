// gzip.exe: the compressor the module starts after a roll-over on Windows.
//   gzip [-f] [-k] [-v] FILE...
// Each FILE becomes FILE.gz in the gzip format. The compressed data goes to a temporary name beside
// it and takes the name FILE.gz only once complete and closed; FILE is removed only after that, unless
// -k. A failure leaves no partial FILE.gz behind. Exit code 0 when every file was compressed, 1 otherwise.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    bool force = false;    // -f: replace an existing FILE.gz
    bool keep = false;     // -k: keep FILE
    bool verbose = false;  // -v: one line per file on standard error
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

// Deflates `source` into `target` with a gzip header; false with a message on any failure.
bool Deflate(const fs::path& source, const fs::path& target, std::uint64_t& in, std::uint64_t& out, std::string& error)
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
    z_stream stream{};
    // 15 + 16: the largest window, wrapped in a gzip header and trailer.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        error = "cannot start the compressor";
        return false;
    }
    std::vector<char> inBuffer(1 << 16), outBuffer(1 << 16);
    bool ok = true;
    int flush = Z_NO_FLUSH;
    in = out = 0;
    do {
        input.read(inBuffer.data(), static_cast<std::streamsize>(inBuffer.size()));
        if (input.bad()) {
            error = "read error";
            ok = false;
            break;
        }
        const auto got = static_cast<uInt>(input.gcount());
        in += got;
        flush = input.eof() ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = reinterpret_cast<Bytef*>(inBuffer.data());
        stream.avail_in = got;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(outBuffer.data());
            stream.avail_out = static_cast<uInt>(outBuffer.size());
            if (deflate(&stream, flush) == Z_STREAM_ERROR) {
                error = "compression failed";
                ok = false;
                break;
            }
            const std::size_t produced = outBuffer.size() - stream.avail_out;
            output.write(outBuffer.data(), static_cast<std::streamsize>(produced));
            out += produced;
            if (!output) {
                error = "write error on " + Printable(target);
                ok = false;
                break;
            }
        } while (stream.avail_out == 0);
    } while (ok && flush != Z_FINISH);
    deflateEnd(&stream);
    output.close();
    if (ok && !output) {
        error = "write error on " + Printable(target);
        ok = false;
    }
    return ok;
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
    if (!Deflate(file, partial, in, out, error)) {
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

int Usage()
{
    std::fprintf(stderr, "usage: gzip [-f] [-k] [-v] FILE...\n");
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    std::vector<fs::path> files;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (!optionsDone && arg == L"--") {
            optionsDone = true;
        } else if (!optionsDone && arg.size() > 1 && arg[0] == L'-') {
            for (std::size_t c = 1; c < arg.size(); ++c) {
                switch (arg[c]) {
                case L'f': options.force = true; break;
                case L'k': options.keep = true; break;
                case L'v': options.verbose = true; break;
                default: return Usage();
                }
            }
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty())
        return Usage();
    bool ok = true;
    for (const fs::path& file : files)
        ok = Compress(file, options) && ok;
    return ok ? 0 : 1;
}
