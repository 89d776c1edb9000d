#include "LineVerifier.h"

#include <thread>

#include "Gunzip.h"
#include "TempDir.h"

namespace QuorlinTest {

std::string NumberedLine(int thread, int sequence)
{
    return std::to_string(thread) + " " + std::to_string(sequence) + " " + std::string(8 + sequence % 23, 'p') + "!";
}

void WriteNumberedLines(int threads, int perThread, const std::function<void(const std::string&)>& log)
{
    std::vector<std::thread> producers;
    for (int t = 0; t < threads; ++t)
        producers.emplace_back([&log, t, perThread] {
            for (int i = 0; i < perThread; ++i)
                log(NumberedLine(t, i));
        });
    for (auto& p : producers)
        p.join();
}

std::vector<std::filesystem::path> FixedWindowFiles(const std::filesystem::path& folder, const std::string& stem,
                                                    const std::string& extension, int maxIndex)
{
    std::vector<std::filesystem::path> files;
    for (int index = maxIndex; index >= 1; --index)
        for (const char* suffix : {"", ".gz"}) {
            const auto path = folder / (stem + "." + std::to_string(index) + extension + suffix);
            if (std::filesystem::exists(path))
                files.push_back(path);
        }
    files.push_back(folder / (stem + extension));
    return files;
}

std::vector<std::string> ProblemsIn(const std::vector<std::filesystem::path>& files, int threads, int perThread)
{
    LineVerifier verifier(threads);
    for (const auto& file : files)
        verifier.ConsumeFile(file);
    return verifier.Problems(perThread);
}

void LineVerifier::Problem(std::string text)
{
    if (m_Problems.size() < 20)
        m_Problems.push_back(std::move(text));
}

void LineVerifier::ConsumeFile(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    std::string content;
    if (path.extension() == ".gz") {
        if (!Gunzip(path, content))
            return Problem(name + ": not a complete gzip file");
    } else {
        if (!std::filesystem::exists(path))
            return Problem(name + ": missing");
        content = ReadFile(path);
    }
    if (content.empty())
        Problem(name + ": empty");
    Consume(name, content);
}

void LineVerifier::Consume(const std::string& name, const std::string& content)
{
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string::npos) {
            Problem(name + ": partial last line [" + content.substr(pos) + "]");
            return;
        }
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '-')
            continue;
        int thread = -1, sequence = -1;
        const std::size_t space = line.find(' ');
        try {
            thread = std::stoi(line.substr(0, space));
            sequence = std::stoi(line.substr(space + 1));
        } catch (...) {
        }
        if (thread < 0 || thread >= static_cast<int>(m_Next.size()) || sequence < 0 || line != NumberedLine(thread, sequence)) {
            Problem(name + ": torn line [" + line + "]");
            continue;
        }
        int& next = m_Next[static_cast<std::size_t>(thread)];
        if (sequence < next || (!m_AllowMissing && sequence != next))
            Problem(name + ": thread " + std::to_string(thread) + " line " + std::to_string(sequence) + " where " +
                    std::to_string(next) + " was due");
        next = sequence + 1;
        ++m_Found;
    }
}

std::vector<std::string> LineVerifier::Problems(int perThread) const
{
    std::vector<std::string> problems = m_Problems;
    for (std::size_t t = 0; t < m_Next.size(); ++t)
        if (m_AllowMissing ? m_Next[t] > perThread : m_Next[t] != perThread)
            problems.push_back("thread " + std::to_string(t) + " ended at line " + std::to_string(m_Next[t]) + " of " +
                               std::to_string(perThread));
    return problems;
}

}  // namespace QuorlinTest
