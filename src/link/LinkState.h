#pragma once
// What opening and losing the link do to the receive side, and whether a line is open.
// Both transports call these; the window thread runs them.

/// A port or connection has just been opened: the bytes the old line left queued are
/// decoded as the old line's, then the receiver starts clean (no half-received frame, no
/// sound transfer) for the new line's first byte.
void LinkOpened();
/// The link has gone (a hang-up, a read error, a closed peer, a disconnect): a sound
/// transfer ends and closes its file, a half-received frame is dropped.
void LinkGone();
/// The line went without the operator's word (a hang-up, a read error, a closed peer): as
/// LinkGone, and the operator reads that the link was lost while the device panel shows
/// nothing known.
void LineLost();
inline constexpr const char* LineLostText = "Связь со станцией потеряна";
/// True while the line of the chosen interface is open: the serial port, or the TCP
/// connection when that interface is chosen. Without it nothing reaches the station and no
/// answer can come, however the line was closed or whether one was ever open.
bool LineOpen();
