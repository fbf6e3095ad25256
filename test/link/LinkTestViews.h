#pragma once
// Recording views for the link tests: what the decoders asked of the windows.

#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <ostream>

/// The channel column of a row, written out here: a test that took the names from the
/// program's own table would find whatever that table says.
inline QString ChannelColumn(int channel) {
    static const char* const names[] = {"ДМВ", "ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3", "МВ4"};
    return channel >= 0 && channel < 7 ? QString::fromUtf8(names[channel]) : QString();
}

/// One message-grid row as the main window would add it.
struct TGridRow {
    QString Channel;
    QString Text;
    bool operator==(const TGridRow&) const = default;
};
inline void PrintTo(const TGridRow& r, std::ostream* os) {
    *os << '"' << r.Channel.toStdString() << "|" << r.Text.toStdString() << '"';
}

class TRecordingMainView : public IMainView {
public:
    void AddMessageRow(const QString& text, bool withChannel) override {
        if (!text.isEmpty())
            Rows.append({withChannel ? ChannelColumn(CurrentChannel) : QString(), text});
    }
    void ClearMessageGrid() override { Rows.clear(); }
    void EnableTestControls(bool flag) override { Calls.append(flag ? "controls on" : "controls off"); }
    void EnableLinkMenus(bool flag) override { Calls.append(flag ? "link on" : "link off"); }
    void UpdateServiceMenus(bool) override {}
    void ResetResultPanel() override { Calls.append("reset panel"); }
    void ClearMeasurements() override {}
    // The main window's rule: slots 1-3, receive bits 2/4/6, transmit bits 3/5/7.
    void Err_kan(uint8_t kan, int kind) override {
        if (kan >= 1 && kan <= 3 && kind >= 1 && kind <= 2)
            DataErrorFlags |= 1u << (2 * kan + (kind - 1));
    }
    void ShowPSHs() override { Calls.append("main ShowPSHs"); }

    QList<TGridRow> Rows;
    QStringList Calls;
};

class TRecordingLinkView : public ILinkView {
public:
    void SetDeviceBusy(bool busy) override { Calls.append(busy ? "busy" : "free"); }
    void SetChannelText(const QString& name) override { ChannelText = name; }
    void SetTransmitter(TBand band, bool on) override {
        Calls.append(QString("tx %1 %2").arg(band == TBand::Mv ? "mv" : "gmv", on ? "on" : "off"));
    }
    void ShowAlarm(TAlarm a, bool shown) override {
        Alarms[int(a)] = shown;
        Calls.append(QString("alarm %1 %2").arg(int(a)).arg(shown));
    }
    bool AmplifierAlarmShown() const override { return Alarms[1] || Alarms[2]; }
    void HideAmplifierAlarms() override { Alarms[1] = Alarms[2] = false; }
    void SetHeartbeat(int progress) override { Heartbeats.append(progress); }
    void SetWorking() override { Calls.append("working"); }
    void ShowDataError(bool shown) override { DataErrorShown = shown; }
    void Beep() override { ++Beeps; }
    void SetStandbyChannels(QStringView mv, QStringView gmv) override {
        Standby = mv.toString() + "/" + gmv.toString();
    }
    void SetGmvGrey(bool grey) override { Calls.append(grey ? "gmv grey" : "gmv white"); }
    void ApplyMvBlock(bool blocked) override { Calls.append(blocked ? "mv blocked" : "mv free"); }
    void ApplyGmvBlock(bool blocked) override { Calls.append(blocked ? "gmv blocked" : "gmv free"); }
    void SetDeviation(QStringView mv, QStringView gmv) override {
        Deviation = mv.toString() + " " + gmv.toString();
    }
    void SetRssi(TBand band, QStringView text) override {
        (band == TBand::Mv ? RssiMv : RssiGmv) = text.toString();
    }
    void ParamsFormShow() override { Calls.append("params show"); }
    void ParamsShowPSHs() override { Calls.append("params psh"); }
    void EnablePSH() override { Calls.append("enable psh"); }
    void SetParamsConfigWord(const QString& w) override { ParamsWord = w; }
    void SetParamsVersion(const QString& v) override { ParamsVersion = v; }
    void CallShowPshs() override { Calls.append("call psh"); }
    void SetCallChartTitle(const QString& t) override { ChartTitle = t; }
    void StartVoicePlayback() override { Calls.append("play start"); }
    void StopVoicePlayback() override { Calls.append("play stop"); }
    void PrimeVoicePlayback() override { ++Primes; }
    void StartUploadTimer() override { Calls.append("upload timer"); }
    void SetSoundLamp(int which, TLamp colour) override { Lamps[which] = colour; }
    void SetSoundLamps(TLamp a, TLamp b, TLamp c) override {
        Lamps[0] = a;
        Lamps[1] = b;
        Lamps[2] = c;
    }
    void ShowSpecialResult(int index, const QString& text) override { Special[index] = text; }
    void SetStatusText(int panel, const QString& text) override { Status[panel] = text; }
    void SetPortCaption(const QString& c) override { PortCaption = c; }

    QStringList Calls;
    QString ChannelText, Standby, Deviation, RssiMv, RssiGmv, ParamsWord, ParamsVersion, ChartTitle,
        PortCaption;
    QString Special[2], Status[2];
    bool Alarms[3] = {};
    bool DataErrorShown = false;
    QList<int> Heartbeats;
    int Beeps = 0, Primes = 0;
    TLamp Lamps[3] = {TLamp::White, TLamp::White, TLamp::White};
};
