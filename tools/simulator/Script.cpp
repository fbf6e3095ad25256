#include "Script.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace vesksim {

namespace {

// A number of milliseconds; false for a text that is not one.
bool Milliseconds(const std::string& text, long fallback, std::chrono::milliseconds& ms) {
    if (text.empty()) {
        ms = std::chrono::milliseconds(fallback);
        return true;
    }
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0)
        return false;
    ms = std::chrono::milliseconds(v);
    return true;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Factory-number quarter: block index a, four digits, with its check number.
TBytes FactoryQuarter(int a, int b, int c) {
    const int check = (a + b + c) % 100;
    return Frame(0xF8, {uint8_t(a / 10), uint8_t(a % 10), uint8_t(b / 10), uint8_t(b % 10), uint8_t(c / 10),
                        uint8_t(c % 10), uint8_t(check / 10), uint8_t(check % 10)});
}

void Append(TBytes& to, const TBytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace

TBytes TestSession(int n) {
    TBytes s{0xC9};
    if (n == 1) {
        Append(s, Frame(0xEA, {0, 2, 1, 2, 1, 5, 2, 0}));
        Append(s, Frame(0xEA, {0, 3, 0, 2, 3, 5, 1, 9}));
    } else if (n == 2 || n == 3) {
        Append(s, {0x93, 0xA9, 0xBD, 0xBA, 0xB2, 0xB1, 0xB0, 0xBE, 0xBB, 0xB6, 0xB5, 0xB3, 0xCC});
        Append(s, Frame(0xEA, {0, 3, 0, 2, 3, 5, 1, 9}));
        Append(s, FactoryQuarter(10, 12, 34));
        Append(s, FactoryQuarter(11, 56, 78));
    } else {
        Append(s, {0xA9, 0xB9});
    }
    if (n >= 1 && n <= 3)
        Append(s, ResultFrame("0000000", n));
    s.push_back(0xC0);
    return s;
}

void StationAnswers(const TUnit& unit, TStation& station) {
    if (unit.kind == TUnit::Command && unit.code == 0xD0) {
        station.Send({0xC0, 0xCA, 0xCB});
    } else if (unit.kind == TUnit::Frame && unit.code == 0xE2 && unit.digits.size() == 8) {
        station.SendSplit(TestSession(unit.digits[7]), 7, std::chrono::milliseconds(10));
    } else if (unit.kind == TUnit::Command && unit.code == 0xD5) {
        station.Send({0xCA});
    } else if (unit.kind == TUnit::Frame && unit.code == 0xE0 && unit.digits.size() == 8) {
        // The special mode's two results: the information word back, then a count.
        TBytes results = Frame(0xF0, unit.digits);
        Append(results, Frame(0xF2, {1, 0, 0, 0, 0, 0, 0, 1}));
        station.Send(results);
    }
}

bool PlayScript(TStation& station, const std::string& script, std::string* error,
                std::function<void(const std::string&)> log, std::function<bool()> stopped) {
    // Long waits go in short slices so that a stop is seen at once.
    constexpr auto Slice = std::chrono::milliseconds(50);
    const auto isStopped = [&] { return stopped && stopped(); };
    const auto pause = [&](std::chrono::milliseconds total) {
        const auto until = std::chrono::steady_clock::now() + total;
        while (!isStopped()) {
            const auto left = until - std::chrono::steady_clock::now();
            if (left <= std::chrono::milliseconds(0))
                return true;
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, Slice));
        }
        return false;
    };
    std::istringstream in(script);
    std::string line;
    int number = 0;
    size_t matched = 0;
    auto timeout = std::chrono::milliseconds(5000);
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        line = Trim(line);
        if (line.empty())
            continue;
        std::istringstream words(line);
        std::string command;
        words >> command;
        std::string rest;
        std::getline(words, rest);
        rest = Trim(rest);
        if (isStopped())
            return fail("stopped");
        if (log)
            log(line);
        if (command == "expect") {
            const TBytes pattern = FromHex(rest);
            const auto until = std::chrono::steady_clock::now() + timeout;
            bool seen = false;
            while (!seen && !isStopped()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                seen =
                    station.WaitFor(pattern, std::clamp(left, std::chrono::milliseconds(0), Slice), matched);
                if (left <= Slice)
                    break;
            }
            if (isStopped())
                return fail("stopped");
            if (!seen)
                return fail("not received: " + ToHex(pattern) + " (got " + ToHex(station.Received()) + ")");
            const TBytes got = station.Received();
            const auto at =
                std::search(got.begin() + long(matched), got.end(), pattern.begin(), pattern.end());
            matched = size_t(at - got.begin()) + pattern.size();
        } else if (command == "send") {
            if (!station.Send(FromHex(rest)))
                return fail("cannot send");
        } else if (command == "split") {
            std::istringstream args(rest);
            size_t chunk = 1;
            args >> chunk;
            std::string hex;
            std::getline(args, hex);
            const TBytes bytes = FromHex(hex);
            chunk = std::max<size_t>(chunk, 1);
            for (size_t i = 0; i < bytes.size(); i += chunk) {
                const TBytes piece(bytes.begin() + long(i),
                                   bytes.begin() + long(std::min(bytes.size(), i + chunk)));
                if (!station.Send(piece))
                    return fail("cannot send");
                if (!pause(std::chrono::milliseconds(20)))
                    return fail("stopped");
            }
        } else if (command == "wait") {
            std::chrono::milliseconds ms;
            if (!Milliseconds(rest, 0, ms))
                return fail("not a number of milliseconds: " + rest);
            if (!pause(ms))
                return fail("stopped");
        } else if (command == "timeout") {
            if (!Milliseconds(rest, 5000, timeout))
                return fail("not a number of milliseconds: " + rest);
        } else if (command == "hangup") {
            station.HangUp(false);
        } else if (command == "reset") {
            station.HangUp(true);
        } else if (command == "auto") {
            station.SetHandler(StationAnswers);
        } else {
            return fail("unknown command " + command);
        }
    }
    return true;
}

} // namespace vesksim
