#pragma once
// A diagnostic for the stream benchmark: with $VESK_STALL_PROBE naming a file, a 5 ms
// timer on the window thread appends a line "<steady clock ns> <gap ns>" for every gap
// between its ticks over 15 ms, so a tool outside can see how long the window thread was
// kept from its events. Without the variable nothing is started.

/// Starts the probe when $VESK_STALL_PROBE is set (window thread, after the application).
void StartStallProbe();
