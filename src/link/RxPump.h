#pragma once
// The hand-off of received bytes to the window thread. The serial reader thread and the
// socket handler push bytes here; the window thread runs ReceiveByte on each, in arrival
// order, under RxLock, in slices of a few milliseconds so that paint, timers and the
// operator's input go on between them. The queue holds at most RxQueueCapacity bytes:
// a reader waits for room (WaitForRxRoom) instead of reading on, so the kernel and the
// line hold the rest and nothing is dropped. A handler that pumps window events from
// inside the decoding (a test wait, a dialog) may run a delivery again: the nested run
// goes on with the next byte, so the order holds.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

inline constexpr size_t RxQueueCapacity = 64 * 1024;

/// Makes the hand-off's receiver on the window thread (before a reader thread starts).
void InitRxPump();
/// Queues bytes from any thread and asks the window thread to deliver them. The bytes
/// are always taken; a reader keeps within the capacity through WaitForRxRoom.
void PushReceivedBytes(const uint8_t* data, size_t count);
/// Reader thread: waits until the queue has room and returns it (bytes), or 0 once stop
/// is set and WakeRxWaiters called.
size_t WaitForRxRoom(const std::atomic<bool>& stop);
/// Wakes every reader waiting in WaitForRxRoom (to see its stop flag).
void WakeRxWaiters();
/// Free room of the queue now (bytes).
size_t RxQueueRoom();
/// Window thread: runs f once, after a delivery has made room in a full queue (at once
/// when there is room).
void OnRxRoom(std::function<void()> f);
/// Runs ReceiveByte on every queued byte (window thread), all of them before it returns.
void DeliverPendingBytes();
/// Runs ReceiveByte on queued bytes for about RxSliceMs or RxSliceBytes bytes, whichever
/// comes first, then asks for another slice when bytes remain (window thread).
void DeliverByteSlice();
inline constexpr int RxSliceMs = 4;
inline constexpr unsigned RxSliceBytes = 8192;
/// True while a delivery runs ReceiveByte on queued bytes (window thread).
bool DeliveringBytes();
/// Runs f once the running delivery has ended (at once when none runs; window thread):
/// window state that a burst of bytes switches back and forth follows once a delivery.
void AfterDelivery(std::function<void()> f);
/// Number of bytes queued and not yet delivered.
size_t PendingByteCount();
/// Runs f on the window thread after the bytes queued so far have been delivered.
void PostToWindowThread(std::function<void()> f);
