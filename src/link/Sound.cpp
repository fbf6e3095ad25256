// The sound state of the link and the device's sound commands.
#include "link/Sound.h"

#include "link/Builders.h"
#include "link/LinkLog.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "state/LinkView.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

// The sound file is opened from a descriptor checked first (see OpenSoundFile), which
// leaves a QFile without its name: the name is kept here for the error texts.
class TSoundFile : public QFile {
public:
    void SetName(const QString& name) { name_ = name; }
    QString fileName() const override { return name_; }

private:
    QString name_;
};

TSoundFile& TheSoundFile() {
    static TSoundFile file;
    return file;
}

// The last failure to open a sound file that was logged: a station asking again and again
// for a missing file is logged once, until the failure changes or an open succeeds.
QString lastOpenFailure;

void LogOpenFailure(const QString& text) {
    if (text == lastOpenFailure)
        return;
    lastOpenFailure = text;
    qCWarning(lcLink).noquote() << "sound file:" << text;
}

// Opens a sound file by its bare name in the current folder: a regular file only, never
// through a link (the file is the program's own: as root a link would let the station
// overwrite any file), and without waiting on a FIFO or a device in its place. Unbuffered:
// every block reaches the file when it is written, and an upload reads a chunk at a time.
bool OpenSoundFile(const QString& name, bool writing) {
    TSoundFile& f = TheSoundFile();
    if (f.isOpen())
        f.close();
    f.SetName(name);
    QString reason;
    const int fd = OpenRegularFile(name, writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, false, &reason);
    if (fd >= 0 && f.open(fd, (writing ? QIODevice::WriteOnly : QIODevice::ReadOnly) | QIODevice::Unbuffered,
                          QFileDevice::AutoCloseHandle)) {
        lastOpenFailure.clear();
        return true;
    }
    if (fd >= 0) {
        ::close(fd);
        reason = f.errorString();
    }
    LogOpenFailure(name + QStringLiteral(": ") + reason);
    return false;
}
} // namespace

QFile& SoundFile() {
    return TheSoundFile();
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
    errno = 0;
    if (f.write(block, count) != count) {
        const QString why = errno != 0 ? SystemErrorText(errno) : f.errorString();
        throw EFileError(QStringLiteral("Ошибка записи в файл %1: %2").arg(f.fileName(), why));
    }
}

bool StartFileSend() {
    if (SoundMode != 2 && SoundMode != 3)
        return true;
    QFile& f = SoundFile();
    // A transfer still running gives its file up to the new request.
    if (f.isOpen())
        f.close();
    const QString name = SoundMode == 2 ? QStringLiteral("phonems.pcm") : QStringLiteral("Title.pcm");
    try {
        if (SoundMode == 2) {
            SendCmdSnd(2);
            LinkView().SetStatusText(1, QStringLiteral("Передача фонем"));
            LinkView().SetSoundLamps(TLamp::White, TLamp::White, TLamp::Green);
        } else {
            SendCmdSnd(3);
            LinkView().SetStatusText(1, QStringLiteral("Проверка НЧ"));
            LinkView().SetSoundLamps(TLamp::Green, TLamp::White, TLamp::White);
        }
    } catch (const std::exception& e) {
        qCWarning(lcLink) << "file send:" << e.what();
        return false;
    }
    if (!OpenSoundFile(name, false)) {
        // The device has had its answer: the end command tells it nothing follows.
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
        if (!OpenSoundFile(QStringLiteral("phonems.pcm"), true)) {
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
    lastOpenFailure.clear();
}
