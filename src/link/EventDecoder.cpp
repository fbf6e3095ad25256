#include "link/EventDecoder.h"

#include "journal/Attenuation.h"
#include "link/Frame.h"
#include "link/Receiver.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"
#include "runs/TestState.h"
#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

bool DeviceBusy = false;
int HeartbeatTag = 1;
int HeartbeatProgress = 0;

namespace {

// Sets one character of a tone-flag string; a flag already set changes nothing.
inline void SetFlag(QString& flags, int position) {
    if (flags.size() >= position && flags.at(position - 1) != u'1')
        flags[position - 1] = u'1';
}

// The value of ConfigWord's character at position (1-based); -1 when absent or not a digit.
int ConfigDigit(int position) {
    if (ConfigWord.size() < position)
        return -1;
    const QChar c = ConfigWord.at(position - 1);
    return (c >= u'0' && c <= u'9') ? c.unicode() - u'0' : -1;
}

// The standby digit is checked only where it is taken: on МВ1/МВ4 (ГМВ1/ГМВ2) nothing
// moves, and the event keeps its row and tone flag whatever the digit holds.
void MoveToMvStandby() {
    if (CurrentChannel == 3 || CurrentChannel == 6)
        return;
    const int d = ConfigDigit(8);
    if (d < 1 || d > 4)
        throw ERangeError(QStringLiteral("Резервный канал МВ вне диапазона"));
    CurrentChannel = uint8_t(d + 2);
}

void MoveToGmvStandby() {
    if (CurrentChannel == 1 || CurrentChannel == 2)
        return;
    const int d = ConfigDigit(7);
    if (d < 1 || d > 2)
        throw ERangeError(QStringLiteral("Резервный канал ГМВ вне диапазона"));
    CurrentChannel = uint8_t(d);
}

void SetChannel(uint8_t channel) {
    // The names made once: channel events come with every test.
    static const QString names[7] = {ChannelName(0), ChannelName(1), ChannelName(2), ChannelName(3),
                                     ChannelName(4), ChannelName(5), ChannelName(6)};
    CurrentChannel = channel;
    LinkView().SetChannelText(channel < 7 ? names[channel] : QString());
}

// The tone flag an event sets: the string (0 none, 1 ДМВ, 2 ГМВ, 3 МВ) and the position.
struct TToneFlag {
    uint8_t band;
    uint8_t position;
};
constexpr TToneFlag ToneFlagOf(uint8_t b) {
    switch (b) {
    case 0xBD:
        return {1, 1};
    case 0xBA:
        return {1, 2};
    case 0xB2:
        return {1, 3};
    case 0xB1:
        return {1, 4};
    case 0xB0:
        return {1, 5};
    case 0xBF:
        return {2, 1};
    case 0xBC:
        return {2, 2};
    case 0xB8:
        return {2, 3};
    case 0xB7:
        return {2, 4};
    case 0xB4:
        return {2, 5};
    case 0xBE:
        return {3, 1};
    case 0xBB:
        return {3, 2};
    case 0xB6:
        return {3, 3};
    case 0xB5:
        return {3, 4};
    case 0xB3:
        return {3, 5};
    default:
        return {0, 0};
    }
}

void DeviceFree() {
    ClearBlockNumDigits();
    LinkView().SetDeviceBusy(false);
    if (RunningTest == 0)
        MainView().EnableTestControls(true);
    if (RunningTest != 1)
        MainView().ResetResultPanel();
}

void DeviceBusyEvent() {
    LinkView().SetDeviceBusy(true);
    if (!DeviceBusy) {
        DeviceBusy = true;
        // Closing the panel pumps window events: it waits until this byte is done.
        AfterThisByte(CloseShownResultOnBusy);
    }
    MainView().EnableTestControls(false);
}

void Heartbeat() {
    HeartbeatProgress = std::clamp(HeartbeatProgress + 10 * HeartbeatTag, 0, 100);
    if (HeartbeatProgress >= 100)
        HeartbeatTag = -1;
    if (HeartbeatProgress == 0)
        HeartbeatTag = 1;
    LinkView().SetHeartbeat(HeartbeatProgress);
    LinkView().EnablePSH();
    DeviceBusy = false;
}

void AttenuationRequest() {
    int m = 0, g = 0;
    const std::optional<TAttenuation> found = FindAttenuation(LocoNumber);
    if (found) {
        // The reply carries two decimal digits a band: larger values are sent as 99,
        // negative ones as 0.
        m = std::clamp(found->Mv, 0, 99);
        g = std::clamp(found->Gmv, 0, 99);
    }
    {
        TTxLock lock(TxMutex());
        TxBuffer.Len = 0;
        const uint8_t reply[10] = {0xF4,
                                   0x80,
                                   0x80,
                                   0x80,
                                   0x80,
                                   uint8_t(0x80 + m / 10),
                                   uint8_t(0x80 + m % 10),
                                   uint8_t(0x80 + g / 10),
                                   uint8_t(0x80 + g % 10),
                                   0xF5};
        for (uint8_t b : reply)
            PutTxByte(b);
        SendBuffer(TxBuffer, TxSent);
    }
    if (found)
        MainView().AddMessageRow(QStringLiteral("Коррекция ослабления (МВ, ГМВ): %1 %2").arg(m).arg(g),
                                 false);
    else
        MainView().AddMessageRow(QStringLiteral("Коррекция ослабления: ??"), false);
}

} // namespace

namespace {

// The message texts of the events, made once and shared by every row.
const QString& TextOf(uint8_t b) {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        const std::pair<uint8_t, const char16_t*> list[] = {
            {0xA9, u"Норма запроса.Ждите окончания теста"},
            {0xAB, u"Нет подтверждения"},
            {0xAC, u"Нет ППНЛ"},
            {0xAD, u"Совпал ППНЛ"},
            {0xAE, u"Нет ППНК"},
            {0xAF, u"Совпал ППНК"},
            {0xB0, u"Наличие КС"},
            {0xB1, u"Наличие тона 2772"},
            {0xB2, u"Наличие тона 2941"},
            {0xB3, u"Наличие тона 2272"},
            {0xB4, u"Наличие тона 2941"},
            {0xB5, u"Наличие 700 гц первый раз"},
            {0xB6, u"Наличие 700 гц второй раз"},
            {0xB7, u"Наличие 700 гц первый раз"},
            {0xB8, u"Наличие 700 гц второй раз"},
            {0xB9, u"Проверка НЧ РС"},
            {0xBA, u"Прием № поезда и передача ППНП"},
            {0xBB, u"МВ: Прием № поезда и передача ППНП"},
            {0xBC, u"ГМВ:Прием № поезда и передача ППНП"},
            {0xBE, u"МВ: Прием № локомотива и передача ППНЛ"},
            {0xBF, u"ГМВ:Прием № локомотива и передача ППНЛ"},
            {0xC7, u"ПРМ вызова 1"},
            {0xC8, u"ПРМ вызова 2"},
        };
        for (const auto& [code, text] : list)
            t[code] = QString::fromUtf16(text);
        return t;
    }();
    return texts[b];
}

// The standby moves of 0xB5-0xB8, made before the row of the event is added.
inline void StandbyMove(uint8_t b) {
    if (b == 0xB5 || b == 0xB6)
        MoveToMvStandby();
    else if (b == 0xB7 || b == 0xB8)
        MoveToGmvStandby();
}

} // namespace

QString EventText(uint8_t b) {
    StandbyMove(b);
    return TextOf(b);
}

void HandleEventByte(uint8_t b) {
    StandbyMove(b);
    if (const QString& text = TextOf(b); !text.isEmpty())
        MainView().AddMessageRow(text, true);
    if (b >= 0xB0 && b <= 0xBF) {
        const TToneFlag flag = ToneFlagOf(b);
        if (flag.band != 0)
            SetFlag(flag.band == 1 ? ToneFlagsD : flag.band == 2 ? ToneFlagsG : ToneFlagsM, flag.position);
        return;
    }
    switch (b) {
    case 0x91:
    case 0x92:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x96:
        SetChannel(uint8_t(b - 0x90));
        break;
    case 0x98:
        LinkView().Beep();
        LinkView().ShowAlarm(TAlarm::SchMv, true);
        break;
    case 0x99:
        LinkView().Beep();
        LinkView().ShowAlarm(TAlarm::UmMv, true);
        break;
    case 0x9A:
        LinkView().Beep();
        LinkView().ShowAlarm(TAlarm::UmGmv, true);
        break;
    case 0xA1:
        LinkView().SetTransmitter(TBand::Mv, true);
        LinkView().ShowAlarm(TAlarm::UmMv, false);
        break;
    case 0xA2:
        LinkView().SetTransmitter(TBand::Gmv, true);
        LinkView().ShowAlarm(TAlarm::UmGmv, false);
        break;
    case 0xA4:
        LinkView().SetTransmitter(TBand::Mv, false);
        break;
    case 0xA5:
        LinkView().SetTransmitter(TBand::Gmv, false);
        break;
    case 0xAB:
        EndWaitRequest = true;
        break;
    case 0xC0:
        DeviceFree();
        break;
    case 0xC9:
        DeviceBusyEvent();
        break;
    case 0xCA:
        LinkView().SetWorking();
        LinkView().EnablePSH();
        break;
    case 0xCB:
        Heartbeat();
        break;
    case 0xCC:
        AttenuationRequest();
        break;
    default:
        break;
    }
}

void ResetEventDecoder() {
    DeviceBusy = false;
    HeartbeatTag = 1;
    HeartbeatProgress = 0;
}
