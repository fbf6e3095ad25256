#include "state/UVesk.h"

int ComHandle = -1;
QString ConfigWord = "01111111";
QString ServiceAccessCode = "6093";
QString MechanicNumber;
QString DeviceVersion;
QString TrainNumber = "1234";
QString LocoNumber = "1234567";
QString PeriodicTrain;
QString PeriodicLoco;
QString SpecialInfo = "00000000";
QString ToneFlagsD = "00000", ToneFlagsG = "00000", ToneFlagsM = "00000";
TSensPair SensMv, SensGmv;
QString Thresholds[6] = {"00", "00", "00", "00", "00", "00"};
QString MeasuredDeviation[3] = {"00", "00", "00"};
TMvChannel MvChannels[5];
TPshSetting PshSettings[2];
bool PshUiReady = true;
QString PortName;
QRecursiveMutex* RxLock = nullptr;
uint8_t CurrentChannel = 0;
uint32_t DataErrorFlags = 0;
uint8_t RunningTest = 0;
bool TestWaiting = false;
int32_t MessageCount = 0;
QTime LastMessageTime;

QString ChannelName(int channel) {
    static const char* const names[] = {"ДМВ", "ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3", "МВ4"};
    if (channel < 0 || channel > 6)
        return {};
    return QString::fromUtf8(names[channel]);
}

void ResetToneFlags() {
    ToneFlagsD = ToneFlagsG = ToneFlagsM = "00000";
}

void ResetFlagPairs() {
    SensMv.Osl = "00";
    SensGmv.Osl = "00";
    SensMv.Flag = '0';
    SensGmv.Flag = '0';
}

void SetStartupDefaults() {
    ConfigWord = "01111111";
    ServiceAccessCode = "6093";
    MechanicNumber.clear();
    DeviceVersion.clear();
    TrainNumber = "1234";
    LocoNumber = "1234567";
    PeriodicTrain.clear();
    PeriodicLoco.clear();
    SpecialInfo = "00000000";
    ResetToneFlags();
    ResetFlagPairs();
    for (auto& t : Thresholds)
        t = "00";
    for (auto& d : MeasuredDeviation)
        d = "00";
    for (int i = 1; i <= 4; ++i)
        MvChannels[i] = TMvChannel{};
}
