// portiq-sim-bench: portiq-sim end to end on big scenario files, and the scenario
// loader alone (portiq-sim --check), as separate processes: wall time, processor time
// and peak resident memory of each.
//
// It writes the scenarios first (with the scenario writer, from machines built in
// memory): trees of boxes with codecs of 10,000, 100,000 and 1,000,000 nodes, each with
// 1,000 wave-input devices whose interface paths name codecs of the tree and 1,000 USB
// devices (the default machine's descriptor sets) whose driver keys are those of boxes
// of the tree; a root with 1,000,000 children; 30,000 hubs of 255 ports that the walk
// never enters; and a line of 50 MB of short words, which must fail at once. Each is run three times; the best time and the highest peak count.
//
//   portiq-sim-bench             in a temporary folder, removed afterwards
//   portiq-sim-bench --keep DIR  writes the scenarios (and the outputs) into DIR and keeps them
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/big_machines.h"
#include "platform/synthetic/scenario_writer.h"

using namespace portiq;
using namespace portiq::bench;
using namespace portiq::synthetic;

namespace {

struct Scenario {
    std::string label;
    std::string path;
    std::size_t nodes = 0;
    double megabytes = 0;
};

struct Measured {
    int status = -1;  // the exit status, or -1 when killed or not started
    double seconds = 1e300;
    double cpuSeconds = 1e300;
    long peakKiB = 0;
    std::string error;  // the first line portiq-sim wrote to stderr
};

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// One run of portiq-sim with arguments, its output into outPath: wall time from fork to
// wait, and the child's own processor time and peak resident set.
Measured RunOnce(const std::vector<std::string>& arguments, const std::string& outPath, const std::string& errorPath) {
    Measured measured;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return measured;
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        std::vector<char*> argv{const_cast<char*>(PORTIQ_SIM)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(PORTIQ_SIM, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    measured.peakKiB = usage.ru_maxrss;  // KiB on Linux
    measured.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measured.error = FirstLine(errorPath);
    return measured;
}

Measured Run(const std::vector<std::string>& arguments, const std::string& outPath, const std::string& errorPath) {
    Measured best;
    for (int round = 0; round < 3; ++round) {
        const Measured once = RunOnce(arguments, outPath, errorPath);
        best.status = once.status;
        best.error = once.error;
        best.seconds = std::min(best.seconds, once.seconds);
        best.cpuSeconds = std::min(best.cpuSeconds, once.cpuSeconds);
        best.peakKiB = std::max(best.peakKiB, once.peakKiB);
    }
    return best;
}

double FileMegabytes(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "portiq-sim-bench: can't write %s\n", path.c_str());
    return static_cast<bool>(out);
}

// A machine of boxes with codecs, with the wave-input and USB devices whose records its
// walk matches, written out as a scenario.
Scenario BoxesScenario(const std::string& directory, int nodeCount, const char* label) {
    Scenario scenario{label, directory + "/boxes-" + std::to_string(nodeCount) + ".scn"};
    SyntheticMachine machine;
    WalkRecords records;
    BuildBoxes(machine, records, nodeCount, 1000, 1000);
    AddHardwareFor(machine, records);
    scenario.nodes = machine.tree.NodeCount();
    if (!WriteFile(scenario.path, "# portiq-sim-bench: " + scenario.label + "\n" + WriteScenario(machine))) std::exit(1);
    scenario.megabytes = FileMegabytes(scenario.path);
    return scenario;
}

Scenario SiblingsScenario(const std::string& directory) {
    Scenario scenario{"1,000,000 siblings", directory + "/siblings.scn", 1000001};
    std::string text = "node class=none id=\"HTREE\\ROOT\\0\"\n";
    for (int n = 0; n < 1000000; ++n) {
        text += "  node class={4d36e978-e325-11ce-bfc1-08002be10318} name=\"Communications Port (COM" +
                std::to_string(n + 1) + ")\" id=\"ACPI\\PNP0501\\" + std::to_string(n) + "\"\n";
    }
    if (!WriteFile(scenario.path, text)) std::exit(1);
    scenario.megabytes = FileMegabytes(scenario.path);
    return scenario;
}

// 30,000 hubs of 255 ports each, on ports whose status (0) keeps the walk out of them:
// loading costs what the lines state, and the log holds only the root hub's 255 lines.
Scenario WideHubsScenario(const std::string& directory) {
    Scenario scenario{"30,000 hubs never entered", directory + "/wide-hubs.scn"};
    std::string text = "hc 0 hub=ROOT ports=255\n";
    for (int outer = 1, hubs = 0; outer <= 255; ++outer) {
        text += "  port " + std::to_string(outer) + " hub=H" + std::to_string(outer) + " ports=255 status=0\n";
        for (int inner = 1; inner <= 117 && ++hubs <= 30000; ++inner) {
            text += "    port " + std::to_string(inner) + " hub=H" + std::to_string(outer) + "." + std::to_string(inner) +
                    " ports=255 status=0\n";
        }
    }
    if (!WriteFile(scenario.path, text)) std::exit(1);
    scenario.megabytes = FileMegabytes(scenario.path);
    return scenario;
}

Scenario LongLineScenario(const std::string& directory) {
    Scenario scenario{"one 50 MB line of words", directory + "/long-line.scn"};
    std::string text = "node";
    while (text.size() < 50000000) text += " a";
    if (!WriteFile(scenario.path, text + "\n")) std::exit(1);
    scenario.megabytes = FileMegabytes(scenario.path);
    return scenario;
}

// Writes the scenarios in a child process and returns what they are: the machines are
// big, and a process started from one that held them would count them in its peak
// (Linux counts the memory a child shares with its parent until it starts the program).
std::vector<Scenario> WriteScenarios(const std::string& directory) {
    const std::string listPath = directory + "/scenarios.list";
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        std::vector<Scenario> scenarios;
        scenarios.push_back(BoxesScenario(directory, 10000, "boxes, 10,000 nodes"));
        scenarios.push_back(BoxesScenario(directory, 100000, "boxes, 100,000 nodes"));
        scenarios.push_back(BoxesScenario(directory, 1000000, "boxes, 1,000,000 nodes"));
        scenarios.push_back(SiblingsScenario(directory));
        scenarios.push_back(WideHubsScenario(directory));
        scenarios.push_back(LongLineScenario(directory));
        std::ofstream list(listPath);
        for (const Scenario& s : scenarios) list << s.label << '\t' << s.path << '\t' << s.nodes << '\t' << s.megabytes << '\n';
        list.close();
        _exit(list ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "portiq-sim-bench: writing the scenarios failed\n");
        return {};
    }
    std::vector<Scenario> scenarios;
    std::ifstream list(listPath);
    for (std::string label, path, nodes, megabytes; std::getline(list, label, '\t') && std::getline(list, path, '\t') &&
                                                     std::getline(list, nodes, '\t') && std::getline(list, megabytes);) {
        scenarios.push_back({label, path, std::stoul(nodes), std::stod(megabytes)});
    }
    std::remove(listPath.c_str());
    return scenarios;
}

void Print(const Scenario& scenario, const Measured& run, const Measured& check) {
    char perNode[32] = "       -       -";
    if (scenario.nodes > 0) {
        const double nodes = static_cast<double>(scenario.nodes);
        std::snprintf(perNode, sizeof perNode, "%8.2f %7.0f", run.seconds * 1e6 / nodes, run.peakKiB * 1024.0 / nodes);
    }
    std::printf("%-28s %9zu %8.1f | %7.2f %7.2f %8.1f %s | %7.2f %7.2f %8.1f\n", scenario.label.c_str(), scenario.nodes,
                scenario.megabytes, run.seconds, run.cpuSeconds, run.peakKiB / 1024.0, perNode, check.seconds,
                check.cpuSeconds, check.peakKiB / 1024.0);
    for (const Measured* m : {&run, &check}) {
        if (m->status != 0) std::printf("%28s   exit status %d: %s\n", "", m->status, m->error.c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string directory;
    bool keep = false;
    if (argc == 3 && std::strcmp(argv[1], "--keep") == 0) {
        directory = argv[2];
        keep = true;
        mkdir(directory.c_str(), 0755);
    } else if (argc != 1) {
        std::fputs("usage: portiq-sim-bench [--keep DIR]\n", stderr);
        return 2;
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/portiq-sim-bench.XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("portiq-sim-bench: mkdtemp");
            return 1;
        }
        directory = pattern;
    }

    std::printf("portiq-sim (%s) on scenario files: the whole run with its report and log printed to a file,\n"
                "and --check (the scenario loaded, nothing else). Best of 3 runs; peak = highest resident set.\n\n",
                PORTIQ_SIM);
    std::printf("%-28s %9s %8s | %7s %7s %8s %8s %7s | %7s %7s %8s\n", "", "", "", "run", "", "", "", "", "load", "", "");
    std::printf("%-28s %9s %8s | %7s %7s %8s %8s %7s | %7s %7s %8s\n", "scenario", "nodes", "file MB", "wall s",
                "cpu s", "peak MB", "us/node", "B/node", "wall s", "cpu s", "peak MB");
    const std::vector<Scenario> scenarios = WriteScenarios(directory);
    if (scenarios.empty()) return 1;

    bool failed = false;
    for (const Scenario& scenario : scenarios) {
        const std::string out = scenario.path + ".out", err = scenario.path + ".err";
        const Measured run = Run({scenario.path}, out, err);
        const Measured check = Run({"--check", scenario.path}, out + ".check", err + ".check");
        Print(scenario, run, check);
        const bool mustFail = scenario.path.find("long-line") != std::string::npos;
        failed = failed || (mustFail ? run.status != 2 || check.status != 2 : run.status != 0 || check.status != 0);
        if (!keep) {
            for (const std::string& file : {scenario.path, out, err, out + ".check", err + ".check"}) std::remove(file.c_str());
        }
    }
    if (!keep) rmdir(directory.c_str());
    if (failed) std::fprintf(stderr, "portiq-sim-bench: portiq-sim didn't end as it should (see above)\n");
    return failed ? 1 : 0;
}
