// Start-up cost of `Folioport --mcp`: wall time from spawning the process to reading its answer to
// "initialize", and the process's peak resident memory (from wait4), per run.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <string_view>

extern char** environ;

namespace {

constexpr std::string_view initializeRequest =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})" "\n";

/// Spawns `program` with `flag`, sends the request and times the first line of output.
void timeFirstAnswer(benchmark::State& state, const char* programPath, const char* flagText) {
    double peakKilobytes = 0;
    for (auto _ : state) {
        std::array<int, 2> toServer{}, fromServer{};
        if (::pipe(toServer.data()) || ::pipe(fromServer.data())) {
            state.SkipWithError("pipe failed");
            return;
        }
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
        if (failed) {
            state.SkipWithError("cannot start the program");
            return;
        }
        (void)::write(toServer[1], initializeRequest.data(), initializeRequest.size());
        char byte = 0;
        while (::read(fromServer[0], &byte, 1) == 1 && byte != '\n') {
        }
        const auto answered = std::chrono::steady_clock::now();

        ::close(toServer[1]);
        ::close(fromServer[0]);
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        state.SetIterationTime(std::chrono::duration<double>(answered - started).count());
        peakKilobytes += static_cast<double>(usage.ru_maxrss);
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

}  // namespace

BENCHMARK_MAIN();
