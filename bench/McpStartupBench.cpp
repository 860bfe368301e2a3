// Start-up cost of `Folioport --mcp`: wall time from spawning the process to reading its answer to
// "initialize", and the process's peak resident memory (from wait4), per run. InterleavedAgainstBareEcho
// alternates the two programs round by round, so that the machine's load hits both alike, and reports
// their medians and the ratio; the target is a ratio of at most 1.5. On a busy machine, where wall time
// mostly measures waiting for a core, the CPU time each process had used when its answer was read (from /proc/<pid>/schedstat) is reported too.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>
#include <chrono>
#include <fstream>
#include <string>
#include <string_view>

extern char** environ;

namespace {

constexpr std::string_view initializeRequest =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})" "\n";

/// One run of a program: the time from spawning it to the first line of its output, its peak resident memory,
/// and the CPU time it had used by then.
struct Run {
    double seconds, peakKilobytes, cpuSeconds;
};

/// The CPU time a process (or its zombie) has used so far, in seconds: the scheduler's own nanosecond count.
double cpuSecondsOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
    double nanoseconds = 0;
    stat >> nanoseconds;
    return nanoseconds / 1e9;
}

/// Spawns `program` with `flag`, sends the request and times the first line of output; absent when it cannot start.
std::optional<Run> firstAnswer(const char* programPath, const char* flagText) {
    std::array<int, 2> toServer{}, fromServer{};
    if (::pipe(toServer.data()) || ::pipe(fromServer.data())) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", 0, 0);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    std::string program = programPath;
    std::string flag = flagText;
    char* arguments[] = {program.data(), flag.data(), nullptr};

    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toServer[0]);
    ::close(fromServer[1]);
    if (failed) return std::nullopt;
    (void)::write(toServer[1], initializeRequest.data(), initializeRequest.size());
    char byte = 0;
    while (::read(fromServer[0], &byte, 1) == 1 && byte != '\n') {
    }
    const auto answered = std::chrono::steady_clock::now();
    const double cpuSeconds = cpuSecondsOf(pid);

    ::close(toServer[1]);
    ::close(fromServer[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return Run{std::chrono::duration<double>(answered - started).count(), static_cast<double>(usage.ru_maxrss),
               cpuSeconds};
}

void timeFirstAnswer(benchmark::State& state, const char* programPath, const char* flagText) {
    double peakKilobytes = 0;
    for (auto _ : state) {
        const auto run = firstAnswer(programPath, flagText);
        if (!run) {
            state.SkipWithError("cannot start the program");
            return;
        }
        state.SetIterationTime(run->seconds);
        peakKilobytes += run->peakKilobytes;
    }
    state.counters["peak_rss_kB"] = benchmark::Counter(peakKilobytes, benchmark::Counter::kAvgIterations);
}
void StartupToInitializeAnswer(benchmark::State& state) { timeFirstAnswer(state, FOLIOPORT_EXECUTABLE, "--mcp"); }
BENCHMARK(StartupToInitializeAnswer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

/// The floor on this machine: the same exchange with cat, which echoes the request line.
void BaselineCatEcho(benchmark::State& state) { timeFirstAnswer(state, "/bin/cat", "-"); }
BENCHMARK(BaselineCatEcho)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

/// The same with a bare C++ program (the C++ runtime loaded, nothing of ours): what start-up is measured against.
void BaselineBareCppEcho(benchmark::State& state) { timeFirstAnswer(state, BARE_ECHO, "-"); }
BENCHMARK(BaselineBareCppEcho)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

/// 60 rounds, each spawning Folioport --mcp and then the bare echo; medians in ms and their ratio.
void InterleavedAgainstBareEcho(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> folioport, bare, folioportCpu, bareCpu;
        for (int round = 0; round < 60; ++round) {
            const auto served = firstAnswer(FOLIOPORT_EXECUTABLE, "--mcp");
            const auto echoed = firstAnswer(BARE_ECHO, "-");
            if (!served || !echoed) {
                state.SkipWithError("cannot start the programs");
                return;
            }
            folioport.push_back(served->seconds * 1000);
            bare.push_back(echoed->seconds * 1000);
            folioportCpu.push_back(served->cpuSeconds * 1000);
            bareCpu.push_back(echoed->cpuSeconds * 1000);
        }
        auto median = [](std::vector<double>& times) {
            std::ranges::nth_element(times, times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2));
            return times[times.size() / 2];
        };
        const double folioportMedian = median(folioport), bareMedian = median(bare);
        state.counters["folioport_ms"] = folioportMedian;
        state.counters["bare_echo_ms"] = bareMedian;
        state.counters["ratio"] = folioportMedian / bareMedian;
        const double folioportCpuMedian = median(folioportCpu), bareCpuMedian = median(bareCpu);
        state.counters["folioport_cpu_ms"] = folioportCpuMedian;
        state.counters["bare_echo_cpu_ms"] = bareCpuMedian;
        state.counters["cpu_ratio"] = folioportCpuMedian / bareCpuMedian;
    }
}
BENCHMARK(InterleavedAgainstBareEcho)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
