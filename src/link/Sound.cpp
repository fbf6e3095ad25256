// The sound state of the link and the device's sound commands.
#include "link/Sound.h"

#include "link/Builders.h"
#include "link/LinkLog.h"
#include "platform/Errors.h"
#include "state/LinkView.h"

#include <QFile>

uint8_t SoundRing[SoundRingSize];
std::atomic<int32_t> SoundWriteIdx{0};
std::atomic<int32_t> SoundReadIdx{0};
uint8_t SoundHold[16];
int32_t SoundHoldCount = 0;
int32_t SoundFlags = 0;
std::atomic<int32_t> SoundMode{0};
bool SoundTransferOn = false;
bool SoundFirstByte = false;

namespace {
inline int32_t Wrap(int32_t i) {
    return ((i % SoundRingSize) + SoundRingSize) % SoundRingSize;
}
} // namespace

QFile& SoundFile() {
    static QFile file;
    return file;
}

void WriteSoundToFile(int count) {
    if (count <= 0)
        return;
    if (count > 1024)
        count = 1024;
    char block[1024];
    int32_t r = Wrap(SoundReadIdx);
    for (int i = 0; i < count; ++i) {
        block[i] = char(SoundRing[r]);
        r = (r + 1 == SoundRingSize) ? 0 : r + 1;
    }
    // The block leaves the ring even when the write fails, so a failing file costs one
    // error per block, not one per received byte.
    SoundReadIdx = r;
    QFile& f = SoundFile();
    if (!f.isOpen())
        return;
    if (f.write(block, count) != count)
        throw EFileError(QStringLiteral("Ошибка записи в файл %1: %2").arg(f.fileName(), f.errorString()));
}

bool StartFileSend() {
    if (SoundMode != 2 && SoundMode != 3)
        return true;
    QFile& f = SoundFile();
    // A transfer still running gives its file up to the new request.
    if (f.isOpen())
        f.close();
    try {
        if (SoundMode == 2) {
            f.setFileName(QStringLiteral("phonems.pcm"));
            SendCmdSnd(2);
            LinkView().SetStatusText(1, QStringLiteral("Передача фонем"));
            LinkView().SetSoundLamps(TLamp::White, TLamp::White, TLamp::Green);
        } else {
            f.setFileName(QStringLiteral("Title.pcm"));
            SendCmdSnd(3);
            LinkView().SetStatusText(1, QStringLiteral("Проверка НЧ"));
            LinkView().SetSoundLamps(TLamp::Green, TLamp::White, TLamp::White);
        }
    } catch (const std::exception& e) {
        qCWarning(lcLink) << "file send:" << e.what();
        return false;
    }
    // Unbuffered: the upload reads the file a chunk at a time, never ahead of it.
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        // The device has had its answer: the end command tells it nothing follows.
        qCWarning(lcLink) << "file send:" << f.fileName() << f.errorString();
        try {
            SendCmdSnd(15);
        } catch (const std::exception& e) {
            qCWarning(lcLink) << "file send:" << e.what();
        }
        LinkView().SetStatusText(1, QStringLiteral("Не удаётся открыть файл"));
        LinkView().SetSoundLamps(TLamp::White, TLamp::White, TLamp::White);
        return false;
    }
    LinkView().StartUploadTimer();
    return true;
}

void FinishSoundSave() {
    QFile& f = SoundFile();
    SoundFlags = 0;
    SoundMode = 0;
    const int rest = SoundRingFill();
    // The file is closed and the indicators put back even when the last write fails.
    struct TCloser {
        QFile& f;
        ~TCloser() {
            f.close();
            LinkView().SetStatusText(1, QString());
            LinkView().SetSoundLamp(1, TLamp::White);
        }
    } closer{f};
    if (rest > 0)
        WriteSoundToFile(rest);
}

void StopVoicePlayback() {
    SoundFlags &= ~SoundReceiving;
    LinkView().StopVoicePlayback();
}

void HandleSoundCommand(int n) {
    QFile& f = SoundFile();
    switch (n) {
    case 0:
        LinkView().StartVoicePlayback();
        // The call's own sound only: what an earlier one left unread is not played.
        SoundReadIdx = int32_t(SoundWriteIdx);
        SoundFirstByte = true;
        SoundFlags = SoundReceiving;
        SoundTransferOn = true;
        SoundMode = 0;
        LinkView().SetCallChartTitle(QStringLiteral("Воспроизведение"));
        break;
    case 1:
        SoundFlags = SoundReceiving;
        SoundMode = 1;
        // The file holds this transfer's sound only: what an earlier one left unread in the
        // ring (a live call's tail) is not part of it.
        SoundReadIdx = int32_t(SoundWriteIdx);
        SoundTransferOn = true;
        SoundFirstByte = true;
        LinkView().SetStatusText(1, QStringLiteral("Приём и сохранение звука"));
        LinkView().SetSoundLamps(TLamp::White, TLamp::Green, TLamp::White);
        if (f.isOpen())
            f.close();
        f.setFileName(QStringLiteral("phonems.pcm"));
        // Unbuffered: every block reaches the file when it is written.
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            LinkView().SetSoundLamp(1, TLamp::Red);
            SoundFlags &= ~SoundReceiving;
            LinkView().SetStatusText(1, QStringLiteral("Не удаётся открыть файл"));
        }
        break;
    case 2:
    case 3:
        SoundFlags = SoundSending;
        SoundMode = n;
        if (!StartFileSend()) {
            SoundFlags = 0;
            SoundMode = 0;
        }
        break;
    case 15:
        SoundTransferOn = false;
        if ((SoundFlags & SoundReceiving) && SoundMode == 0)
            StopVoicePlayback();
        if ((SoundFlags & SoundReceiving) && SoundMode == 1)
            FinishSoundSave();
        if (!(SoundFlags & SoundSending))
            LinkView().SetCallChartTitle(QString());
        break;
    default:
        break;
    }
}

void EndSoundTransfer() {
    SoundHoldCount = 0;
    SoundFirstByte = false;
    try {
        if (SoundTransferOn)
            HandleSoundCommand(15);
    } catch (const std::exception& e) {
        // The save's last block could not be written; the file is closed all the same.
        qCWarning(lcLink) << "sound transfer ended by the link:" << e.what();
    }
    QFile& f = SoundFile();
    if ((SoundMode == 2 || SoundMode == 3) && f.isOpen()) {
        f.close();
        LinkView().SetStatusText(1, QString());
        LinkView().SetSoundLamp(SoundMode == 3 ? 0 : 2, TLamp::White);
    }
}

void ResetSoundState() {
    SoundWriteIdx = SoundReadIdx = 0;
    SoundHoldCount = 0;
    SoundFlags = 0;
    SoundMode = 0;
    SoundTransferOn = false;
    SoundFirstByte = false;
    if (SoundFile().isOpen())
        SoundFile().close();
}
