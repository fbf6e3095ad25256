#pragma once
// Scripts and the default behaviour of the simulated station.

#include "Station.h"

#include <chrono>
#include <string>

namespace vesksim {

/// Plays a script against the program, one command a line ('#' starts a comment):
///   expect <hex bytes>   wait until the program has sent them (after the last match)
///   send <hex bytes>     send them at once
///   split <n> <hex>      send them in pieces of n bytes, 20 ms apart
///   wait <ms>            pause
///   timeout <ms>         limit of the following expects (5000 at start)
///   hangup               close the program's end of the line
///   reset                hang up abortively (TCP reset)
///   auto                 answer like a station from here on (see StationAnswers)
/// Returns false with the line number and reason in error on the first failure. When
/// stopped is given and turns true, the script ends within a moment at whatever line it
/// is (a wait, an expect or a split), with false and "stopped" in error.
bool PlayScript(TStation& station, const std::string& script, std::string* error = nullptr,
                std::function<void(const std::string&)> log = nullptr,
                std::function<bool()> stopped = nullptr);

/// What a working station answers: the reset byte with "free" and "working"; a test start
/// with "busy", events, measurements, factory numbers, an attenuation request, the result
/// frame (code all zeros) and "free"; the automatic squelch command with "working"; the
/// special mode's start with its two results (F0 with the information word, F2).
void StationAnswers(const TUnit& unit, TStation& station);

/// The bytes a station sends for a test n after its start.
TBytes TestSession(int n);

} // namespace vesksim
