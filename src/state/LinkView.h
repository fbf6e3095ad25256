#pragma once
// What the link's decoders and commands ask of the windows beyond IMainView: the
// indicators of the device panel, the measurement edits, the link texts, and the
// routines of the parameters, voice call, special mode and sound-transfer windows.
// Texts built per frame come as views: a view that shows nothing allocates nothing.
// Every hook does nothing by default, so tests, the fuzzer and the benchmark run the
// decoders with no window at all; the program installs the window implementation.

#include <QString>
#include <cstdint>

enum class TBand { Mv, Gmv };
enum class TAlarm { SchMv, UmMv, UmGmv };
/// Colours of the three sound-transfer circles.
enum class TLamp { White, Green, Red };

class ILinkView {
public:
    virtual ~ILinkView() = default;

    // Device panel of the main window.
    virtual void SetDeviceBusy(bool /*busy*/) {}
    virtual void SetChannelText(const QString& /*name*/) {}
    virtual void SetTransmitter(TBand /*band*/, bool /*on*/) {}
    virtual void ShowAlarm(TAlarm /*alarm*/, bool /*shown*/) {}
    virtual bool AmplifierAlarmShown() const { return false; }
    virtual void HideAmplifierAlarms() {}
    virtual void SetHeartbeat(int /*progress*/) {}
    virtual void SetWorking() {}
    /// The line is gone: the device state, the working lamp and the transmitter lamps show
    /// what they show before the station has reported anything, until it reports again.
    virtual void ShowStationUnknown() {}
    virtual void ShowDataError(bool /*shown*/) {}
    virtual void Beep() {}
    /// Standby channel edits (МВ, ГМВ) of the device panel.
    virtual void SetStandbyChannels(QStringView /*mv*/, QStringView /*gmv*/) {}
    /// The ГМВ standby edit and deviation edit greyed for a blocked ГМВ band.
    virtual void SetGmvGrey(bool /*grey*/) {}
    /// The band blocks as every window shows them (main window, parameters, call, test dialog).
    virtual void ApplyMvBlock(bool /*blocked*/) {}
    virtual void ApplyGmvBlock(bool /*blocked*/) {}

    // Measurements of the main window.
    virtual void SetDeviation(QStringView /*mv*/, QStringView /*gmv*/) {}
    virtual void SetRssi(TBand /*band*/, QStringView /*text*/) {}

    // Parameters window.
    virtual void ParamsFormShow() {}
    virtual void ParamsShowPSHs() {}
    virtual void EnablePSH() {}
    virtual void SetParamsConfigWord(const QString& /*word*/) {}
    virtual void SetParamsVersion(const QString& /*version*/) {}

    // Voice call window and the sound path.
    virtual void CallShowPshs() {}
    virtual void SetCallChartTitle(const QString& /*title*/) {}
    virtual void StartVoicePlayback() {}
    virtual void StopVoicePlayback() {}
    /// Called while 1024 or more received bytes of live sound wait in SoundRing.
    virtual void PrimeVoicePlayback() {}
    /// Starts the main window's upload timer at 10 ms for the first chunk of a file.
    virtual void StartUploadTimer() {}
    virtual void SetSoundLamps(TLamp /*statMsg*/, TLamp /*saveSound*/, TLamp /*unSaveSound*/) {}
    virtual void SetSoundLamp(int /*which: 0 statMsg, 1 saveSound, 2 unSaveSound*/, TLamp) {}

    // Special mode window: result 0 (F0) or 1 (F2).
    virtual void ShowSpecialResult(int /*index*/, const QString& /*text*/) {}

    // Link texts: status bar panels and the port menu caption.
    virtual void SetStatusText(int /*panel*/, const QString& /*text*/) {}
    virtual void SetPortCaption(const QString& /*caption*/) {}
    virtual void SetBusyCursor(bool /*busy*/) {}

    // Hex log of received bytes (receive.txt), switched on and off in the monitor window.
    virtual void OpenReceiveLog() {}
    virtual void CloseReceiveLog() {}
};

/// The current view; never null (one that does nothing until the windows install theirs).
ILinkView& LinkView();
void SetLinkView(ILinkView* view);
/// Installs the main window's implementation (defined with the windows).
void InstallLinkView();
