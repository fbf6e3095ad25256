#pragma once
// Shared state of the test runs that the device link, the test runner, the result
// renderers and the journal writers all read or write. No widgets here.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

/// Tests 2/3 result on screen since ResultShownAt (read by the busy event).
extern bool ResultShown;
extern QDateTime ResultShownAt;

/// Antenna VSWR of МВ and ГМВ (frame EA sub-kind 2); VswrNotMeasured means not measured.
inline constexpr double VswrNotMeasured = 10.0;
extern double VswrMv;
extern double VswrGmv;
/// Journal form of the two VSWR values (column reserv of "tests1.DB"), built by the
/// self-test renderer; one character per band, МВ first.
extern QString VswrPacked;
/// Set by the self-test browser around a render: the VSWR texts then come from the row.
extern bool VswrFromDb;
extern QString VswrTextMv;
extern QString VswrTextGmv;

/// Device block of three values of up to 2 hex digits (item 0 from frame EA sub-kind 2).
extern QString ParamBlock2[3];

/// Set by the no-confirmation event 0xAB; read and cleared by the test waits.
extern bool EndWaitRequest;
/// "От ВЕСК" or "От РВ": who started the tests 2/3 run being waited for.
extern QString TestDirection;
/// The test chosen for the next run: 1, 2 or 3.
extern int SelectedTest;
/// The last tests 2/3 command carried the train number (else the locomotive number).
extern bool NumberIsTrain;
/// Hex digits of the verdict nibbles of the last tests 2/3 result.
extern QString LastResultHex;

/// Hourly tests 2/3: the first run's dialog chose the train number; its channel.
extern bool PeriodicByTrain;
extern uint8_t PeriodicChannel;

/// Wait limits in seconds by RunningTest (index 1..3; index 0 unused, 4 spare).
inline constexpr int TestTimeout[5] = {0, 20, 115, 115, 115};

/// The busy event's part in the result panel (the first busy event after a heartbeat):
/// when a tests 2/3 result has been on screen for more than 1 s the result panel is
/// closed. While a test wait runs the panel is only hidden and the wait goes on.
void CloseShownResultOnBusy();
/// Installed by the main window; called by CloseShownResultOnBusy. Returns the one before.
std::function<void()> SetResultPanelCloser(std::function<void()> closer);

/// Empties every field above to its start-up value (tests use it between cases).
void ResetTestState();
