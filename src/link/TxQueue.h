#pragma once
// The link's writer. A send hands its bytes to the line at once; what the line has no room
// for (a station or an adapter that stops reading) waits here, in the order of the sends,
// and the writer's own thread writes it as the line takes it. No sender ever waits for the
// station: not the window thread, not the sound capture that the window thread may wait for.

#include <cstddef>
#include <cstdint>

/// Hands data[0..len) to the line behind fd (a serial port, or a socket when socket is set)
/// after every byte handed over before. What the line takes at once is written here. With
/// queueRest the rest waits for the writer, which drops what the line has not taken
/// timeoutMs after this call (on Clock()) and tells the operator with a row of the message
/// grid, one for each send so dropped. Without queueRest nothing more is written, and nothing
/// at all while earlier bytes wait. Returns the bytes written or left waiting; a line that
/// fails, or a send that would take the waiting bytes over TxQueueCapacity, gets only what
/// was written at once (the latter told as a dropped send).
int32_t TxWrite(int fd, bool socket, const uint8_t* data, int32_t len, int64_t timeoutMs, bool queueRest);
/// Before fd is closed: drops what waits for it; on return the writer no longer touches it.
void TxForget(int fd);
/// Bytes waiting for the writer.
size_t TxPendingBytes();
/// The most bytes that wait. Each send's own time-out keeps the backlog far below it; it
/// only bounds the memory of a sender gone wrong.
inline constexpr size_t TxQueueCapacity = 1024 * 1024;
