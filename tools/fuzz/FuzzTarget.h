#pragma once
// The fuzzed entry: one input drives the byte receiver and the decoders behind it.

#include <cstddef>
#include <cstdint>

/// Sound commands create "phonems.pcm" in the current folder: callers run in a folder
/// of their own. Runs one input: its first byte chooses the starting state (running test, sound
/// reception, configuration word), the rest is received byte by byte. Traps when an
/// invariant of the receiver breaks.
int VeskFuzzOneInput(const uint8_t* data, size_t size);
