#pragma once
// The hand-off of received bytes to the window thread. The serial reader thread and the
// socket handler push bytes here; DeliverPendingBytes() runs ReceiveByte on each, in
// arrival order, under RxLock. A handler that pumps window events from inside the
// decoding (a test wait, a dialog) may run it again: the nested run goes on with the
// next byte, so the order holds.

#include <cstddef>
#include <cstdint>
#include <functional>

/// Makes the hand-off's receiver on the window thread (before a reader thread starts).
void InitRxPump();
/// Queues bytes from any thread and asks the window thread to deliver them.
void PushReceivedBytes(const uint8_t* data, size_t count);
/// Runs ReceiveByte on every queued byte (window thread).
void DeliverPendingBytes();
/// Number of bytes queued and not yet delivered.
size_t PendingByteCount();
/// Runs f on the window thread after the bytes queued so far have been delivered.
void PostToWindowThread(std::function<void()> f);
