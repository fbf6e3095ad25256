// Streams the station's byte kinds through a pseudo-terminal into the real program and
// measures, from outside, what the operator would feel: bytes per second of a burst, the
// program's CPU at the line rate, the longest stall of its window thread (the program's
// own stall probe, $VESK_STALL_PROBE) and the growth of its resident memory.
//
// vesk-bench-stream [--program PATH] [--burst BYTES] [--line-seconds S] [--kinds k1,k2]
//                   [--results N [--every K]]
// kinds: frames, rows, busyfree, mix, random. The program runs under the environment's
// display (QT_QPA_PLATFORM, or DISPLAY under xvfb-run); offscreen when there is none.
// --results: a long run instead (with --kinds, after them): N results that the station
// starts, each journalled, and the program's resident memory every K of them.
#include "Station.h"
#include "platform/Table.h"
#include "runs/JournalWriters.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono;
using vesksim::FromHex;
using vesksim::TBytes;

constexpr double LineRate = 11520.0; // bytes per second of the device's line

struct TKind {
    std::string name;
    TBytes pattern; // repeated; random when empty
};

std::vector<TKind> Kinds() {
    return {
        {"frames", FromHex("EA 80 83 80 82 83 85 81 89 EB F6 80 80 81 82 83 84 85 86 F7")},
        {"rows", FromHex("B0 B1 B2 B3 B4 B9 BA BB BC C7 C8 A9 AC AD AE AF")},
        {"busyfree", FromHex("C9 C0")},
        {"mix", FromHex("C9 93 B1 CB A1 A4 EA 80 83 80 82 83 85 81 89 EB B0 C0 94 C7 CA EE 81 82 83 84 85 "
                        "86 87 EF 92 BC CB C9 A2 A5 B2 C0")},
        {"random", {}},
    };
}

TBytes Stream(const TKind& kind, size_t count, std::mt19937& rng) {
    TBytes out(count);
    if (kind.pattern.empty()) {
        for (auto& b : out)
            b = uint8_t(rng());
        // Never the attenuation request: it is the end marker of a burst.
        std::replace(out.begin(), out.end(), uint8_t(0xCC), uint8_t(0xCD));
        return out;
    }
    for (size_t i = 0; i < count; ++i)
        out[i] = kind.pattern[i % kind.pattern.size()];
    return out;
}

long long SteadyNs() {
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

// utime + stime of the process in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(f, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// Resident memory in KiB.
long RssKiB(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The longest stall the probe saw that ended between from and to (ns), in ms.
double LongestStallMs(const std::string& probe, long long from, long long to) {
    std::ifstream f(probe);
    long long end = 0, gap = 0;
    double longest = 0;
    while (f >> end >> gap)
        if (end >= from && end - gap <= to)
            longest = std::max(longest, double(gap) / 1e6);
    return longest;
}

bool Alive(pid_t pid) {
    return ::waitpid(pid, nullptr, WNOHANG) == 0;
}

// Sends the attenuation request and waits for its reply: every byte sent before it has
// then been decoded.
bool Drained(vesksim::TStation& station, pid_t pid, seconds timeout) {
    station.Clear();
    if (!station.Send({0xCC}))
        return false;
    const auto deadline = steady_clock::now() + timeout;
    while (steady_clock::now() < deadline) {
        if (station.WaitFor({0xF5}, milliseconds(100)))
            return true;
        if (!Alive(pid))
            return false;
    }
    return false;
}

// One result as the station reports a test it started: busy, the factory numbers of a block,
// the result frame (tests 2 and 3 in turn), free.
TBytes StationResult(int i) {
    TBytes all{0xC9};
    TBytes numbers = vesksim::Frame(0xF8, {1, 0, 1, 2, uint8_t(i / 10 % 10), uint8_t(i % 10), 0, 0});
    const int check = (10 + 12 + i % 100) % 100;
    numbers[7] = uint8_t(0x80 + check / 10);
    numbers[8] = uint8_t(0x80 + check % 10);
    all.insert(all.end(), numbers.begin(), numbers.end());
    char code[8];
    std::snprintf(code, sizeof code, "%07d", i % 10000000);
    const TBytes result = vesksim::ResultFrame(code, 2 + i % 2);
    all.insert(all.end(), result.begin(), result.end());
    all.push_back(0xC0);
    return all;
}

// Rows of the tests 2/3 journal, or -1 while it cannot be read.
long JournalRows(const std::string& folder) {
    try {
        TTable table(QString::fromStdString(folder), Test23FileName, Test23Fields());
        if (!table.Exists())
            return 0;
        table.Open();
        const QList<TRow> n = table.Select(QStringLiteral("SELECT count(*) FROM \"Test23\""));
        return n.isEmpty() ? -1 : n[0].value(0).toLongLong();
    } catch (...) {
        return -1;
    }
}

// The long run: results a batch at a time (the program keeps at most 1000 waiting), each
// batch waited for in the journal. Prints the resident memory and the time per result.
bool RunResults(vesksim::TStation& station, pid_t pid, const std::string& journal, int results, int every) {
    constexpr int batch = 100;
    std::printf("%9s %12s %12s\n", "results", "RSS MiB", "ms/result");
    auto stepStart = steady_clock::now();
    for (int done = 0; done < results;) {
        const int n = std::min(batch, results - done);
        TBytes bytes;
        for (int i = done; i < done + n; ++i) {
            const TBytes r = StationResult(i);
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        if (!station.Send(bytes))
            continue; // a stalled reader: the same batch again
        done += n;
        const auto deadline = steady_clock::now() + seconds(300);
        while (JournalRows(journal) < done) {
            if (!Alive(pid) || steady_clock::now() > deadline) {
                std::fprintf(stderr, "results: %ld of %d journalled\n", JournalRows(journal), done);
                return false;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        if (done % every == 0 || done == results) {
            const double ms = duration<double, std::milli>(steady_clock::now() - stepStart).count();
            std::printf("%9d %12.1f %12.2f\n", done, double(RssKiB(pid)) / 1024.0,
                        ms / (done % every == 0 ? every : done % every));
            std::fflush(stdout);
            stepStart = steady_clock::now();
        }
    }
    return true;
}

struct TOptions {
    std::string program = VESK_PROGRAM_PATH;
    size_t burst = 10u << 20;
    double lineSeconds = 5;
    std::vector<std::string> kinds;
    int results = 0;
    int every = 0;
};

TOptions Parse(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--program" && v)
            o.program = argv[++i];
        else if (a == "--burst" && v)
            o.burst = size_t(std::atoll(argv[++i]));
        else if (a == "--line-seconds" && v)
            o.lineSeconds = std::atof(argv[++i]);
        else if (a == "--results" && v)
            o.results = std::max(0, std::atoi(argv[++i]));
        else if (a == "--every" && v)
            o.every = std::max(1, std::atoi(argv[++i]));
        else if (a == "--kinds" && v) {
            std::stringstream s(argv[++i]);
            for (std::string k; std::getline(s, k, ',');)
                o.kinds.push_back(k);
        } else {
            std::fprintf(stderr,
                         "usage: vesk-bench-stream [--program PATH] [--burst BYTES] [--line-seconds S] "
                         "[--kinds frames,rows,busyfree,mix,random] [--results N [--every K]]\n");
            std::exit(2);
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const TOptions opt = Parse(argc, argv);
    QCoreApplication app(argc, argv); // the journal's reader loads its database driver
    char tmpl[] = "/tmp/vesk-bench-stream.XXXXXX";
    if (!::mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = tmpl;
    vesksim::TStation station;
    if (!station.StartSerial(root)) {
        std::fprintf(stderr, "station: %s\n", station.Error().c_str());
        return 1;
    }
    const std::string probe = root + "/stall.txt";
    std::filesystem::create_directories(root + "/prog");
    std::filesystem::create_directories(root + "/config");
    ::setenv("VESK_SYS_DIR", station.SysDir().c_str(), 1);
    ::setenv("VESK_DEV_DIR", station.DevDir().c_str(), 1);
    ::setenv("VESK_PROGRAM_DIR", (root + "/prog").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("VESK_STALL_PROBE", probe.c_str(), 1);
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const char* platform = std::getenv("QT_QPA_PLATFORM");

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int log = ::open((root + "/program.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        ::chdir((root + "/prog").c_str());
        ::execl(opt.program.c_str(), opt.program.c_str(), (char*)nullptr);
        std::_Exit(127);
    }
    int rc = 0;
    // The program resets the station twice when it has opened the port.
    if (!station.WaitForCount(2, seconds(30))) {
        std::fprintf(stderr, "the program did not open the port (see %s/program.log)\n", root.c_str());
        rc = 1;
    }
    std::this_thread::sleep_for(seconds(1));
    if (rc == 0 && !Drained(station, pid, seconds(10))) {
        std::fprintf(stderr, "the program does not answer the attenuation request\n");
        rc = 1;
    }

    std::printf("program %s, display %s, burst %zu bytes, line rate %.0f B/s for %.0f s\n",
                opt.program.c_str(),
                platform ? platform : (std::string("xcb ") + std::getenv("DISPLAY")).c_str(), opt.burst,
                LineRate, opt.lineSeconds);
    std::printf("%-9s %12s %12s %12s %12s %12s\n", "kind", "burst B/s", "line CPU %", "stall ms", "RSS +MiB",
                "RSS end MiB");
    std::mt19937 rng(20261207);
    for (const TKind& kind : Kinds()) {
        if (rc != 0)
            break;
        if ((!opt.kinds.empty() || opt.results > 0) &&
            std::find(opt.kinds.begin(), opt.kinds.end(), kind.name) == opt.kinds.end())
            continue;
        // At the line rate, in pieces of 2 ms.
        const size_t lineBytes = size_t(LineRate * opt.lineSeconds);
        const TBytes slow = Stream(kind, lineBytes, rng);
        const double cpu0 = CpuSeconds(pid);
        const auto start = steady_clock::now();
        size_t sent = 0;
        for (int tick = 1; sent < slow.size(); ++tick) {
            const auto due = start + microseconds(2000LL * tick);
            const size_t upTo = std::min(slow.size(), size_t(LineRate * 0.002 * tick));
            station.Send(TBytes(slow.begin() + long(sent), slow.begin() + long(upTo)));
            sent = upTo;
            std::this_thread::sleep_until(due);
        }
        const double lineWall = duration<double>(steady_clock::now() - start).count();
        const double lineCpu = (CpuSeconds(pid) - cpu0) / lineWall * 100;
        if (!Drained(station, pid, seconds(60))) {
            std::fprintf(stderr, "%s: no answer after the line-rate stream\n", kind.name.c_str());
            rc = 1;
            break;
        }

        // A burst as fast as the line takes it.
        const TBytes fast = Stream(kind, opt.burst, rng);
        const long rss0 = RssKiB(pid);
        long rssMax = rss0;
        const long long t0 = SteadyNs();
        std::atomic<bool> done{false};
        std::thread sender([&] {
            for (size_t i = 0; i < fast.size(); i += 4096)
                if (!station.Send(
                        TBytes(fast.begin() + long(i), fast.begin() + long(std::min(fast.size(), i + 4096)))))
                    i -= 4096; // a 5 s stall of the reader: try the same piece again
            done = true;
        });
        while (!done) {
            rssMax = std::max(rssMax, RssKiB(pid));
            std::this_thread::sleep_for(milliseconds(50));
            if (!Alive(pid))
                break;
        }
        sender.join();
        std::atomic<bool> drained{false};
        std::thread watcher([&] {
            while (!drained) {
                rssMax = std::max(rssMax, RssKiB(pid));
                std::this_thread::sleep_for(milliseconds(50));
            }
        });
        const bool ok = Drained(station, pid, seconds(1200));
        drained = true;
        watcher.join();
        const long long t1 = SteadyNs();
        if (!ok) {
            std::fprintf(stderr, "%s: no answer after the burst\n", kind.name.c_str());
            rc = 1;
            break;
        }
        std::this_thread::sleep_for(milliseconds(300)); // the probe writes the stall when it ends
        const double rate = double(opt.burst) / (double(t1 - t0) / 1e9);
        std::printf("%-9s %12.0f %12.1f %12.1f %12.1f %12.1f\n", kind.name.c_str(), rate, lineCpu,
                    LongestStallMs(probe, t0, t1), double(rssMax - rss0) / 1024.0,
                    double(RssKiB(pid)) / 1024.0);
        std::fflush(stdout);
    }
    if (rc == 0 && opt.results > 0 &&
        !RunResults(station, pid, root + "/prog", opt.results,
                    opt.every > 0 ? opt.every : std::max(1, opt.results / 10)))
        rc = 1;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 50 && Alive(pid); ++i)
        std::this_thread::sleep_for(milliseconds(100));
    if (Alive(pid)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (rc == 0)
        std::filesystem::remove_all(root);
    return rc;
}
