#pragma once
// Numbered lines "<thread> <sequence> <padding>" logged by many threads, and the check that they
// reached the files exactly once, in order per thread, none torn or partial.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace QuorlinTest {

// The text of one thread's numbered event; the padding varies with the sequence, so that a torn line
// never reads as another whole one.
std::string NumberedLine(int thread, int sequence);

// Calls log(line) with perThread numbered lines from each of `threads` threads at once.
void WriteNumberedLines(int threads, int perThread, const std::function<void(const std::string&)>& log);

// The files of a fixed window history, oldest first: stem.N.ext or stem.N.ext.gz from maxIndex down to
// 1, then the active stem.ext. An index held twice (plain and .gz) is reported by the verifier.
std::vector<std::filesystem::path> FixedWindowFiles(const std::filesystem::path& folder, const std::string& stem,
                                                    const std::string& extension, int maxIndex);

// The problems LineVerifier finds in these files, read in this order.
std::vector<std::string> ProblemsIn(const std::vector<std::filesystem::path>& files, int threads, int perThread);

class LineVerifier {
public:
    // allowMissing: lines may be absent (they were reported lost), but those present must still be
    // whole, once and in order.
    LineVerifier(int threads, bool allowMissing = false)
        : m_Next(static_cast<std::size_t>(threads), 0), m_AllowMissing(allowMissing)
    {
    }

    // Reads one file (a .gz one decompressed) after those before it; lines starting with "-" (banners,
    // notes) and empty ones are not events.
    void ConsumeFile(const std::filesystem::path& path);
    void Consume(const std::string& name, const std::string& content);
    // Every problem met, then the threads whose lines did not all arrive; empty when all is well.
    std::vector<std::string> Problems(int perThread) const;
    // The numbered lines found.
    long Found() const { return m_Found; }

private:
    void Problem(std::string text);
    std::vector<int> m_Next;
    bool m_AllowMissing;
    long m_Found = 0;
    std::vector<std::string> m_Problems;
};

}  // namespace QuorlinTest
