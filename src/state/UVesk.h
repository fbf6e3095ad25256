#pragma once
// Shared state of the program: the module-level variables that every subsystem
// reads and writes. No widgets here; the main window mirrors this state on screen.

#include <QRecursiveMutex>
#include <QString>
#include <QTime>
#include <cstdint>

/// One МВ channel: receive and transmit channel numbers, 3 digits each.
struct TMvChannel {
    QString Prm = "000";
    QString Prd = "000";
};

/// A sensitivity verdict with its attenuation.
struct TSensPair {
    QChar Flag = '0';
    QString Osl = "00";
};

/// Squelch setting of one band (0 ГМВ, 1 МВ).
struct TPshSetting {
    int Level = 127; // 0-255
    bool Off = false;
};

extern int ComHandle; // open serial port descriptor, -1 when none
extern QString ConfigWord;
extern QString ServiceAccessCode;
extern QString MechanicNumber;
extern QString DeviceVersion;
extern QString TrainNumber;
extern QString LocoNumber;
extern QString PeriodicTrain;
extern QString PeriodicLoco;
extern QString SpecialInfo;
extern QString ToneFlagsD, ToneFlagsG, ToneFlagsM;
extern TSensPair SensMv, SensGmv;
extern QString Thresholds[6];
extern QString MeasuredDeviation[3];
extern TMvChannel MvChannels[5]; // sets 1..4; index 0 unused
extern TPshSetting PshSettings[2];
extern bool PshUiReady;
extern QString PortName;
extern QRecursiveMutex* RxLock; // created by start-up, re-entrant
extern uint8_t CurrentChannel;  // 0 ДМВ .. 6 МВ4
extern uint32_t DataErrorFlags;

// Test state: the running test (0 none, 1 self-test or test 1, 2, 3) and the running flag.
extern uint8_t RunningTest;
extern bool TestWaiting;

// Message grid bookkeeping (rows 1..MessageCount of StringGrid1).
extern int32_t MessageCount;
extern QTime LastMessageTime; // time of day of the last row; null before the first

/// Channel names by channel number; empty outside 0-6.
QString ChannelName(int channel);

// Window messages of the main window, posted as QEvent types.
inline constexpr int WM_USER_BASE = 1024;
inline constexpr int WM_DEVICE_TEST1 = WM_USER_BASE + 1;
inline constexpr int WM_DEVICE_TEST23 = WM_USER_BASE + 2;
inline constexpr int WM_SOCKET_EVENT = WM_USER_BASE + 4;

void ResetToneFlags();
void ResetFlagPairs();
/// Sets every default of the shared state that start-up sets (step 4 of the creation handler).
void SetStartupDefaults();
