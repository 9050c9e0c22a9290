// portiq-linux-bench: portiq on recorded Linux systems of growing size, as a separate
// process: wall time, processor time, peak resident memory and (where strace is
// installed) the system calls of one run, for the report and for --udev-rules.
//
// Each system is laid out as the kernel shows one, in a temporary folder: buses whose
// eight root ports hold seven-port hubs, each port of which holds a four-port hub with
// either a box (its codec and its FT2232) or a user's keyboard, FTDI cable and modem;
// about 204 devices a bus. The machines: 1,000, 10,000 and 50,000 devices with up to 255
// sound cards, and one bus of 204 devices with 21 cards, the size of a busy shack PC.
// Best of three runs.
//
//   portiq-linux-bench             in $TMPDIR (else /dev/shm, else /tmp), removed afterwards
//   portiq-linux-bench --keep DIR  lays the systems out in DIR and keeps them
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sysfs_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Machine {
    std::string label;
    int buses = 1;
    int cards = 255;
    int devices = 0, laidCards = 0;  // as laid out
};

struct Measured {
    int status = -1;
    double seconds = 1e300, cpuSeconds = 1e300;
    long peakKiB = 0;
};

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

// One run of program with arguments, output to /dev/null.
Measured RunOnce(const std::vector<std::string>& command) {
    Measured measured;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return measured;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(127);
        std::vector<char*> argv;
        for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    measured.peakKiB = usage.ru_maxrss;
    measured.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

Measured Best(const std::vector<std::string>& command) {
    Measured best;
    for (int round = 0; round < 3; ++round) {
        const Measured once = RunOnce(command);
        best.status = once.status;
        best.seconds = std::min(best.seconds, once.seconds);
        best.cpuSeconds = std::min(best.cpuSeconds, once.cpuSeconds);
        best.peakKiB = std::max(best.peakKiB, once.peakKiB);
    }
    return best;
}

// The system calls of one run, counted by strace -c; -1 without strace.
long SystemCalls(const std::vector<std::string>& command, const std::string& work) {
    if (std::system("command -v strace >/dev/null 2>&1") != 0) return -1;
    std::vector<std::string> traced = {"strace", "-f", "-c", "-o", work + "/strace.txt"};
    traced.insert(traced.end(), command.begin(), command.end());
    if (RunOnce(traced).status != 0) return -1;
    std::ifstream in(work + "/strace.txt");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (!w.empty() && w.back() == "total" && w.size() >= 5) return std::atol(w[3].c_str());
    }
    return -1;
}

// The description of a machine in the recorded-system format (sysfs_fixture.cpp).
std::string Describe(Machine& machine) {
    std::string text;
    int tty = 0, acm = 0, card = 0;
    auto device = [&](const std::string& name, const std::string& rest) {
        text += "usb " + name + " " + rest + " bConfigurationValue=1\n";
        ++machine.devices;
    };
    for (int bus = 1; bus <= machine.buses; ++bus) {
        const std::string b = std::to_string(bus);
        char controller[32];
        std::snprintf(controller, sizeof controller, "0000:%02x:%02x.0", bus / 32, bus % 32);
        text += "bus " + b + " " + controller + " maxchild=8\n";
        for (int p = 1; p <= 8; ++p) {
            const std::string hub = b + "-" + std::to_string(p);
            device(hub, "descriptors=@hub maxchild=7");
            for (int q = 1; q <= 7; ++q) {
                const std::string unit = hub + "." + std::to_string(q);
                device(unit, "descriptors=@hub maxchild=4");
                if (q % 2 == 1) {  // a box with its codec
                    device(unit + ".1", "descriptors=@codec manufacturer=\"Burr-Brown from TI\" product=\"USB Audio CODEC\"");
                    const std::string sound = card < machine.cards ? " +sound/card" + std::to_string(card) : "";
                    if (!sound.empty()) {
                        text += "proc card" + std::to_string(card) + " id=CODEC" + std::to_string(card) + " +pcm0c +pcm0p\n";
                        machine.laidCards = ++card;
                    }
                    text += "iface " + unit + ".1:1.0 @driver=snd-usb-audio" + sound + "\n";
                    for (int i = 1; i <= 3; ++i) text += "iface " + unit + ".1:1." + std::to_string(i) + " @driver=snd-usb-audio\n";
                    char serial[16];
                    std::snprintf(serial, sizeof serial, "TN%06X", static_cast<unsigned>(machine.devices));
                    device(unit + ".2", std::string("descriptors=@ft2232 manufacturer=Tavrilink product=\"Tavrilink Nova (CAT+PTT/CW)\" serial=") + serial);
                    for (int i = 0; i < 2; ++i, ++tty) {
                        text += "iface " + unit + ".2:1." + std::to_string(i) + " @driver=ftdi_sio +ttyUSB" + std::to_string(tty) +
                                "/tty/ttyUSB" + std::to_string(tty) + "\n";
                    }
                } else {  // a user's keyboard, FTDI cable and modem
                    device(unit + ".1", "descriptors=@keyboard manufacturer=Logitech product=\"USB Keyboard\"");
                    text += "iface " + unit + ".1:1.0 @driver=usbhid\n";
                    device(unit + ".2", "descriptors=@ft232 manufacturer=FTDI product=\"FT232R USB UART\" serial=A" + std::to_string(machine.devices));
                    text += "iface " + unit + ".2:1.0 @driver=ftdi_sio +ttyUSB" + std::to_string(tty) + "/tty/ttyUSB" + std::to_string(tty) + "\n";
                    ++tty;
                    device(unit + ".3", "descriptors=@acm manufacturer=Acme product=\"USB Modem\" serial=" + std::to_string(machine.devices));
                    text += "iface " + unit + ".3:1.0 @driver=cdc_acm +tty/ttyACM" + std::to_string(acm++) + "\n";
                }
            }
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string base;
    bool keep = false;
    if (argc == 3 && std::string(argv[1]) == "--keep") {
        base = argv[2];
        keep = true;
        fs::create_directories(base);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: portiq-linux-bench [--keep DIR]\n");
        return 2;
    } else {
        const char* tmp = std::getenv("TMPDIR");
        const std::string parent = tmp && *tmp ? tmp : fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        base = parent + "/portiq-linux-bench." + std::to_string(getpid());
        fs::create_directories(base);
    }
    const std::string descriptors = [] {
        std::ifstream in(PORTIQ_GOLDEN_DIR "/linux/descriptors.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }();

    std::vector<Machine> machines = {{"a busy PC, 21 cards", 1, 21}, {"1,000 devices", 5, 255},
                                     {"10,000 devices", 49, 255}, {"50,000 devices", 245, 255}};
    std::printf("portiq on recorded systems (best of 3; goals: 10,000 devices under 0.5 s, the busy PC under 25 ms of CPU)\n");
    std::printf("%-22s %8s %6s %10s %10s %10s %10s %10s\n", "system", "devices", "cards", "report", "CPU", "peak", "syscalls",
                "rules");
    bool failed = false;
    for (Machine& machine : machines) {
        const std::string root = base + "/" + std::to_string(machine.buses) + "-buses";
        const std::string description = Describe(machine);
        portiq::testing::BuildSysfsFixture(descriptors + "\n" + description, root);
        // As on the live system: the boxes' ports' device nodes and udev's database are read too.
        const std::vector<std::string> report = {PORTIQ_LINUX,       "--sysfs-root",     root + "/sys",
                                                 "--proc-asound-root", root + "/proc/asound", "--dev-root",
                                                 root + "/dev",        "--udev-data-root", root + "/run/udev/data"};
        std::vector<std::string> rules = report;
        rules.push_back("--udev-rules");
        const Measured run = Best(report), rulesRun = Best(rules);
        const long calls = SystemCalls(report, base);
        failed = failed || run.status != 0 || rulesRun.status != 0;
        std::printf("%-22s %8d %6d %8.3f s %7.1f ms %6ld MiB %10s %8.3f s\n", machine.label.c_str(), machine.devices,
                    machine.laidCards, run.seconds, run.cpuSeconds * 1000, run.peakKiB / 1024,
                    calls < 0 ? "-" : std::to_string(calls).c_str(), rulesRun.seconds);
        std::fflush(stdout);
        if (!keep) fs::remove_all(root);
    }
    if (!keep) fs::remove_all(base);
    if (failed) std::fprintf(stderr, "portiq-linux-bench: a run of portiq failed\n");
    return failed ? 1 : 0;
}
