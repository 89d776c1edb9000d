#include "Gunzip.h"

#include <zlib.h>

#include "TempDir.h"

namespace QuorlinTest {

bool Gunzip(const std::filesystem::path& path, std::string& content)
{
    content.clear();
    const std::string packed = ReadFile(path);
    if (packed.size() < 18)
        return false;
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK)  // 16: expect a gzip header
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    char chunk[65536];
    int result = Z_OK;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        content.append(chunk, sizeof chunk - stream.avail_out);
        // A file of several members: each one follows the end of the one before.
        if (result == Z_STREAM_END && stream.avail_in > 0 && inflateReset(&stream) == Z_OK)
            continue;
        if (result != Z_OK)
            break;
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END;
}

}  // namespace QuorlinTest
