// vesk-sim: a simulated station to run the program against without the hardware.
//
//   vesk-sim [--dir DIR] [--tcp [PORT]] [--script FILE]
//
// Makes a pseudo-terminal that the program finds as its USB adapter port through a fake
// sysfs/dev tree (printed as two export lines), optionally listens on 127.0.0.1:PORT
// (4001 by default), logs every command and frame the program sends, plays a script when
// given one (see Script.h), and then answers like a working station until SIGINT, SIGTERM
// or SIGHUP, which also end a script at any line; either way it prints "# stopped" and
// ends with code 0. Without --dir the tree is made in a folder vesk-sim.XXXXXX of the
// temporary folder ($TMPDIR, else /tmp), which is removed whenever the tool ends.
#include "Script.h"
#include "Station.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// The folder made for the fake tree when none was given; removed with everything in it
// (links are removed, never followed) however the tool ends.
class TOwnFolder {
public:
    ~TOwnFolder() {
        if (path_.empty())
            return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    /// Makes vesk-sim.XXXXXX in the temporary folder; false with errno on failure.
    bool Make() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vesk-sim.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return false;
        path_ = pattern;
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

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
    // A signal from here on ends the tool through its normal end, which removes its folder;
    // output to a reader that has gone (a pipe closed by Ctrl+C) is lost, never fatal.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    // The script is read before anything is made, so a script that cannot be read leaves
    // nothing behind.
    std::string scriptText;
    if (!script.empty()) {
        std::ifstream in(script);
        if (!in) {
            std::fprintf(stderr, "vesk-sim: cannot read %s\n", script.c_str());
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        scriptText = text.str();
    }

    TOwnFolder ownFolder;
    if (dir.empty()) {
        if (!ownFolder.Make()) {
            std::perror("vesk-sim: mkdtemp");
            return 1;
        }
        dir = ownFolder.Path();
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

    const auto logUnit = [](const vesksim::TUnit& u, vesksim::TStation&) {
        std::printf("<- %s\n", vesksim::FormatUnit(u).c_str());
        std::fflush(stdout);
    };

    const auto stopped = [] { return interrupted != 0; };
    if (!script.empty()) {
        station.SetHandler(logUnit);
        std::string error;
        const bool ok = vesksim::PlayScript(
            station, scriptText, &error,
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
        // A heartbeat every two seconds while the program holds the line, between the frames
        // of a reply going out in pieces: inside one it would break the frame.
        if (++tick % 20 == 0 && station.PeerConnected())
            station.SendBetweenFrames({0xCB}, std::chrono::seconds(1));
    }
    std::printf("# stopped\n");
    return 0;
}
