// Replays inputs (files, or every file of the folders given) through the fuzzed entry,
// without libFuzzer: the checked-in corpus runs in every build this way.
#include "FuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto& e : fs::directory_iterator(p))
                if (e.is_regular_file())
                    inputs.push_back(e.path());
        } else {
            inputs.push_back(p);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: vesk-fuzz-replay FILE|DIR...\n");
        return 2;
    }
    for (fs::path& p : inputs)
        p = fs::absolute(p);
    // The sound commands among the inputs write their file into a folder of this run.
    char dir[] = "/tmp/vesk-fuzz-replay.XXXXXX";
    if (::mkdtemp(dir))
        fs::current_path(dir);
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        VeskFuzzOneInput(data.data(), data.size());
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
