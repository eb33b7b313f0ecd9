// Runs every case of a cases.tsv (from make_bench_inputs) through gridport
// and through the copy baseline, plain and with the safe replacement
// (--replace), taking turns so that drift in the machine's load hits all
// three, and prints one table of medians: wall time of each, gridport's
// against either copy's, and gridport's peak resident memory against its cap
// of 16 MiB. The last column compares processor time (user and system) with
// the plain copy's, which the other work on a shared machine disturbs less
// than wall time.
//
//   run_bench GRIDPORT BASELINE CASES.TSV [RUNS]

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Case {
    std::string name;
    std::string map;
    std::string tileset;
};

struct Sample {
    double ms = 0;
    double peakBytes = 0;
    double cpuMs = 0;
};

constexpr double kMiB = 1024.0 * 1024.0;
// What gridport may hold, whatever the map and the tileset.
constexpr double kMemoryCapMiB = 16.0;

std::vector<Case> ReadCases(const std::string& path) {
    std::vector<Case> cases;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Case c;
        if (std::getline(fields, c.name, '\t') && std::getline(fields, c.map, '\t') &&
            std::getline(fields, c.tileset, '\t')) {
            cases.push_back(c);
        }
    }
    return cases;
}

long long FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// Runs the command and waits for it; exits the benchmark when it fails.
Sample Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "run_bench: %s failed\n", command[0].c_str());
        std::exit(1);
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    // ru_maxrss is in KiB on Linux.
    return {elapsed.count(), static_cast<double>(usage.ru_maxrss) * 1024.0, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

Sample Median(std::vector<Sample> samples) {
    const auto middle = [&](auto field) {
        std::vector<double> values;
        for (const Sample& s : samples) {
            values.push_back(s.*field);
        }
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    return {middle(&Sample::ms), middle(&Sample::peakBytes), middle(&Sample::cpuMs)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: run_bench GRIDPORT BASELINE CASES.TSV [RUNS]\n");
        return 2;
    }
    const std::string gridport = argv[1];
    const std::string baseline = argv[2];
    const std::string casesPath = argv[3];
    const int runs = argc == 5 ? std::atoi(argv[4]) : 5;
    const std::vector<Case> cases = ReadCases(casesPath);
    if (cases.empty() || runs < 1) {
        std::fprintf(stderr, "run_bench: no cases in %s\n", casesPath.c_str());
        return 1;
    }
    const std::string dir = casesPath.substr(0, casesPath.find_last_of('/') + 1);

    std::ifstream loadFile("/proc/loadavg");
    std::string load;
    if (std::getline(loadFile, load)) {
        std::printf("load average before the runs: %s\n", load.c_str());
    }
    std::printf("%-11s %10s %10s %11s %8s %6s %10s %9s %12s %8s %6s\n", "case", "input B", "output B",
                "gridport ms", "copy ms", "time x", "replace ms", "replace x", "gridport MiB", "<=16 MiB", "cpu x");
    for (const Case& c : cases) {
        const std::string output = dir + c.name + ".rmp";
        const std::string copy = dir + c.name + ".copy";
        const std::string replaced = dir + c.name + ".replaced";
        const std::vector<std::string> convert = {gridport, c.map, c.tileset, output};
        Run(convert);  // warm-up, and the output size the baselines copy
        const long long outputBytes = FileSize(output);
        const std::string bytes = std::to_string(outputBytes);
        const std::vector<std::string> copyCommand = {baseline, bytes, copy, c.map, c.tileset};
        const std::vector<std::string> replaceCommand = {baseline, "--replace", bytes, replaced, c.map, c.tileset};
        Run(copyCommand);
        Run(replaceCommand);
        std::vector<Sample> ours;
        std::vector<Sample> copies;
        std::vector<Sample> replacements;
        for (int i = 0; i < runs; ++i) {
            ours.push_back(Run(convert));
            copies.push_back(Run(copyCommand));
            replacements.push_back(Run(replaceCommand));
        }
        if (FileSize(copy) != outputBytes || FileSize(replaced) != outputBytes || FileSize(output) != outputBytes) {
            std::fprintf(stderr, "run_bench: output sizes of %s differ\n", c.name.c_str());
            return 1;
        }
        const Sample a = Median(ours);
        const Sample b = Median(copies);
        const Sample r = Median(replacements);
        std::printf("%-11s %10lld %10lld %11.1f %8.1f %6.2f %10.1f %9.2f %12.1f %8s %6.2f\n", c.name.c_str(),
                    FileSize(c.map) + FileSize(c.tileset), outputBytes, a.ms, b.ms, a.ms / b.ms, r.ms, a.ms / r.ms,
                    a.peakBytes / kMiB, a.peakBytes / kMiB <= kMemoryCapMiB ? "yes" : "NO", a.cpuMs / b.cpuMs);
        std::fflush(stdout);
    }
    return 0;
}
