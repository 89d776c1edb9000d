// quorlin-run: loads the appender module through the framework, configures appenders from a file and
// feeds them events from standard input or a generator.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DefaultConfig.h"
#include "Diagnostics.h"
#include "FileReport.h"
#include "HoldBack.h"
#include "InputLines.h"
#include "LostEvents.h"
#include "Options.h"
#include "host/Framework.h"
#include "host/Level.h"
#include "host/Utility.h"
#include "utility/StringOps.h"
#include "os/Console.h"
#include "os/Directory.h"
#include "os/Module.h"
#include "os/Path.h"
#include "os/Signals.h"

namespace {

using namespace QuorlinRun;

constexpr int kExitOther = 1;
constexpr int kExitUsage = 2;
constexpr int kExitAppender = 3;
constexpr int kExitLost = 4;

std::atomic<bool> g_Interrupted{false};

// A stop request (Ctrl-C, SIGTERM, ...) ends reading and generating; the appenders are then closed as
// at the end of input.
void OnStopRequest(int)
{
    // Once: the Windows seam closes the standard input handle, whose number may be reused after.
    if (!g_Interrupted.exchange(true))
        Quorlin::os::InterruptStandardInput();
}

DiagnosticsShown DiagnosticsFor(const Options& o, const Quorlin::Configuration& config)
{
    if (o.quiet)
        return DiagnosticsShown::None;
    return o.debug || config.debug ? DiagnosticsShown::All : DiagnosticsShown::Problems;
}

// The module beside the program (the build tree, the Windows install folder), else in ../lib (the
// Linux install tree).
std::string DefaultModulePath()
{
    const std::string program = Quorlin::os::ExecutablePath();
    const char separator = static_cast<char>(Quorlin::os::PathSeparator());
    const std::size_t cut = program.find_last_of(separator);
    const std::string folder = cut == std::string::npos ? std::string() : program.substr(0, cut + 1);
    const std::string file = std::string("Quorlin.Appender64") + Quorlin::os::SharedLibrarySuffix();
    const std::string installed = folder + ".." + separator + "lib" + separator + file;
    auto exists = [](const std::string& path) {
        return Quorlin::os::PathExists(ORBEK::Utility::Utf8ToWide(std::string_view(path)));
    };
    if (!exists(folder + file) && exists(installed))
        return installed;
    return folder + file;
}

// "ERROR text", "WARN: text": a leading level word sets the event's level, and is taken off the line.
std::int32_t TakeLevel(std::string_view& line, std::int32_t fallback)
{
    std::size_t end = 0;
    while (end < line.size() && ((line[end] >= 'A' && line[end] <= 'Z') || (line[end] >= 'a' && line[end] <= 'z')))
        ++end;
    std::int32_t level = 0;
    if (end == 0 || end == line.size() || (line[end] != ' ' && line[end] != ':') ||
        !Quorlin::ParseLevel(line.substr(0, end), level))
        return fallback;
    std::size_t rest = end;
    if (line[rest] == ':')
        ++rest;
    while (rest < line.size() && line[rest] == ' ')
        ++rest;
    line.remove_prefix(rest);
    return level;
}

// Each line of standard input is one event. False when reading failed (said on standard error).
bool ReadStandardInput(Quorlin::Framework& framework, HoldBack& hold)
{
    InputLines input;
    std::string error;
    const bool read = input.ReadAll(
        [&](std::string_view line) {
            hold.WhileHeldUp(g_Interrupted);
            if (g_Interrupted.load(std::memory_order_relaxed))
                return false;
            const std::int32_t level = TakeLevel(line, Quorlin::LevelInfo);
            framework.Log(level, line.data(), static_cast<std::int32_t>(line.size()), input.ReadTicks());
            return true;
        },
        error);
    if (!read)
        std::fprintf(stderr, "quorlin-run: cannot read standard input: %s\n", error.c_str());
    return read;
}

struct GeneratorResult {
    std::int64_t events = 0;
    std::int64_t bytes = 0;
    double seconds = 0;
};

void ShowProgress(std::int64_t done, std::int64_t total)
{
    const int width = 40;
    const int filled = total == 0 ? width : static_cast<int>(done * width / total);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled, "",
                 total == 0 ? 100 : static_cast<int>(done * 100 / total));
    std::fflush(stderr);
}

GeneratorResult Generate(Quorlin::Framework& framework, const Options& o, HoldBack& hold)
{
    std::atomic<std::int64_t> sent{0};
    std::atomic<std::int64_t> bytes{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> producers;
    for (int t = 0; t < o.threads; ++t) {
        const std::int64_t count = o.generate / o.threads + (t < o.generate % o.threads ? 1 : 0);
        producers.emplace_back([&, t, count] {
            std::string message;
            message.reserve(static_cast<std::size_t>(o.messageSize) + 32);
            std::int64_t myBytes = 0;
            for (std::int64_t i = 0; i < count && !g_Interrupted.load(std::memory_order_relaxed); ++i) {
                // "<thread> <sequence> " then padding up to the message size.
                message.assign(std::to_string(t));
                message += ' ';
                message += std::to_string(i);
                message += ' ';
                if (static_cast<int>(message.size()) < o.messageSize)
                    message.append(static_cast<std::size_t>(o.messageSize) - message.size(), 'x');
                hold.WhileHeldUp(g_Interrupted);
                if (g_Interrupted.load(std::memory_order_relaxed))
                    break;
                framework.Log(o.level, message.data(), static_cast<std::int32_t>(message.size()));
                myBytes += static_cast<std::int64_t>(message.size());
                sent.fetch_add(1, std::memory_order_relaxed);
            }
            bytes.fetch_add(myBytes);
        });
    }
    const bool progress = Quorlin::os::StandardErrorIsTerminal() && o.generate >= 10000;
    std::thread bar;
    std::atomic<bool> finished{false};
    if (progress) {
        bar = std::thread([&] {
            while (!finished.load()) {
                ShowProgress(sent.load(), o.generate);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            ShowProgress(sent.load(), o.generate);
            std::fputc('\n', stderr);
        });
    }
    for (auto& p : producers)
        p.join();
    finished.store(true);
    if (bar.joinable())
        bar.join();
    GeneratorResult result;
    result.events = sent.load();
    result.bytes = bytes.load();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

int Run(int argc, char** argv)
{
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "quorlin-run: %s\n", error.c_str());
        return kExitUsage;
    }
    if (o.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (o.version) {
        std::printf("quorlin-run %s\n", QUORLIN_VERSION);
        return 0;
    }
    if (o.showConfig) {
        std::fputs(kDefaultConfiguration, stdout);
        return 0;
    }
    for (const auto& [name, value] : o.globals)
        Quorlin::Utility::SetGlobalValue(name, value);

    Quorlin::Configuration config;
    const bool parsed = o.configFile.empty()
                            ? Quorlin::ParseConfiguration(kDefaultConfiguration, "<built-in configuration>", config, error)
                            : Quorlin::LoadConfiguration(o.configFile, config, error);
    if (!parsed) {
        std::fprintf(stderr, "quorlin-run: %s\n", error.c_str());
        return kExitUsage;
    }
    ShowDiagnostics(DiagnosticsFor(o, config));
    Quorlin::os::IgnoreFileSizeLimitSignal();
    // Before the start: a request that comes while the appenders open stops the run once they are open.
    Quorlin::os::HandleStopRequests(&OnStopRequest);

    Quorlin::Framework framework;
    const std::string module = o.modulePath.empty() ? DefaultModulePath() : o.modulePath;
    switch (framework.Start(config, module, error)) {
    case Quorlin::StartError::None: break;
    case Quorlin::StartError::Configuration: std::fprintf(stderr, "quorlin-run: %s\n", error.c_str()); return kExitUsage;
    case Quorlin::StartError::Appender: std::fprintf(stderr, "quorlin-run: %s\n", error.c_str()); return kExitAppender;
    }

    HoldBack hold(reinterpret_cast<HoldBack::WaitFn>(framework.ModuleSymbol("WaitUntilWritable")), o.drop,
                  o.quiet ? nullptr : stderr);
    bool inputFailed = false;
    if (o.generate >= 0) {
        const GeneratorResult r = Generate(framework, o, hold);
        framework.Stop();
        std::fprintf(stderr, "quorlin-run: %lld events, %lld bytes, %.3f s, %.0f events/s\n", static_cast<long long>(r.events),
                     static_cast<long long>(r.bytes), r.seconds, r.seconds > 0 ? static_cast<double>(r.events) / r.seconds : 0.0);
    } else {
        inputFailed = !ReadStandardInput(framework, hold);
        framework.Stop();
    }
    // Compressions run on threads of the module: let them finish before the listing and the exit.
    using WaitFn = bool (*)(unsigned int);
    if (auto wait = reinterpret_cast<WaitFn>(framework.ModuleSymbol("WaitForCompressions")); wait && !wait(60000))
        std::fprintf(stderr, "quorlin-run: compressions still running after 60 s; they go on in the background\n");
    ReportLogFiles(config, stderr);
    const auto lostEventsOf = reinterpret_cast<LostEventsOfFn>(framework.ModuleSymbol("LostEventsOf"));
    const bool lost = ReportLostEvents(config, lostEventsOf, stderr);
    Quorlin::os::StopRequestHandled();
    if (inputFailed)
        return kExitOther;
    return lost ? kExitLost : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorlin-run: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "quorlin-run: unexpected failure\n");
    }
    return kExitOther;
}
