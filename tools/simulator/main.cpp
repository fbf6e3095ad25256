// vesk-sim: a simulated station to run the program against without the hardware.
//
//   vesk-sim [--dir DIR] [--tcp [PORT]] [--script FILE]
//
// Makes a pseudo-terminal that the program finds as its USB adapter port through a fake
// sysfs/dev tree (printed as two export lines), optionally listens on 127.0.0.1:PORT
// (4001 by default), logs every command and frame the program sends, plays a script when
// given one (see Script.h), and then answers like a working station until SIGINT or
// SIGTERM, which also end a script at any line; either way it prints "# stopped" and ends
// with code 0.
#include "Script.h"
#include "Station.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int) {
    interrupted = 1;
}

int Usage() {
    std::fprintf(stderr, "usage: vesk-sim [--dir DIR] [--tcp [PORT]] [--script FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir, script;
    int tcpPort = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--tcp") {
            tcpPort = 4001;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                tcpPort = std::atoi(argv[++i]);
        } else if (a == "--script" && i + 1 < argc) {
            script = argv[++i];
        } else {
            return Usage();
        }
    }
    if (dir.empty()) {
        char pattern[] = "/tmp/vesk-sim.XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
    }

    vesksim::TStation station;
    if (!station.StartSerial(dir)) {
        std::fprintf(stderr, "vesk-sim: %s\n", station.Error().c_str());
        return 1;
    }
    std::printf("export VESK_SYS_DIR=%s\nexport VESK_DEV_DIR=%s\n", station.SysDir().c_str(),
                station.DevDir().c_str());
    if (tcpPort) {
        if (!station.ListenTcp(tcpPort)) {
            std::fprintf(stderr, "vesk-sim: cannot listen on 127.0.0.1:%d: %s\n", tcpPort,
                         station.Error().c_str());
            return 1;
        }
        std::printf("# listening on 127.0.0.1:%d\n", tcpPort);
    }
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    const auto logUnit = [](const vesksim::TUnit& u, vesksim::TStation&) {
        std::printf("<- %s\n", vesksim::FormatUnit(u).c_str());
        std::fflush(stdout);
    };

    const auto stopped = [] { return interrupted != 0; };
    if (!script.empty()) {
        std::ifstream in(script);
        if (!in) {
            std::fprintf(stderr, "vesk-sim: cannot read %s\n", script.c_str());
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        station.SetHandler(logUnit);
        std::string error;
        const bool ok = vesksim::PlayScript(
            station, text.str(), &error,
            [](const std::string& line) {
                std::printf("# %s\n", line.c_str());
                std::fflush(stdout);
            },
            stopped);
        if (stopped()) {
            // A send cut short by the signal counts as the stop, not as a failure.
            std::printf("# stopped\n");
            return 0;
        }
        if (!ok) {
            std::fprintf(stderr, "vesk-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("# script done\n");
    }

    // Without a script, and after one, the line stays up and the station answers as a
    // working one would, so that the program keeps its link.
    station.SetHandler([&](const vesksim::TUnit& u, vesksim::TStation& s) {
        logUnit(u, s);
        vesksim::StationAnswers(u, s);
    });
    std::printf("# answering as a station; Ctrl+C ends\n");
    std::fflush(stdout);
    int tick = 0;
    while (!stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // A heartbeat every two seconds while the program holds the line.
        if (++tick % 20 == 0 && station.PeerConnected())
            station.Send({0xCB});
    }
    std::printf("# stopped\n");
    return 0;
}
