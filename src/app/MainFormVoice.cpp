// Sound-file upload timer of the main window: sends the file a command 2 or 3 asked for
// in chunks of up to 1024 bytes, then the end command.
#include "app/TMainForm.h"
#include "link/Builders.h"
#include "link/Sound.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/LinkView.h"
#include "voice/VoicePath.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t SoundFileSize = 0;
int64_t SoundFileSent = 0;

namespace {
// The chunk on its way: the line may take it in parts over several ticks; it counts as
// sent only once whole.
QByteArray chunk;
int32_t chunkDone = 0;
qint64 chunkStartMs = 0;
// When the line last took a byte of the upload, and whether the status line says it stalls.
qint64 lastTakenMs = 0;
bool stallShown = false;
// A line that takes nothing for this long is said to stall, well before the chunk's time-out.
constexpr qint64 StallNoticeMs = 3000;

void ShowProgress() {
    stallShown = false;
    LinkView().SetStatusText(1,
                             QStringLiteral("Передача фонем: %1 %").arg(SoundFileSent * 100 / SoundFileSize));
}

// Ends the upload: the end command, the timer off, the file closed, the indicator idle.
void EndUpload(QTimer* timer) {
    timer->stop();
    SoundFile().close();
    chunk.clear();
    LinkView().SetStatusText(1, QString());
    LinkView().SetSoundLamp(SoundMode == 3 ? 0 : 2, TLamp::White);
    SendCmdSnd(15);
}

// Hands the rest of the chunk to the line without waiting; true once all of it has gone.
bool PushChunk() {
    TTxLock lock(TxMutex());
    const int32_t rest = int32_t(chunk.size()) - chunkDone;
    std::memcpy(TxBuffer.Data, chunk.constData() + chunkDone, size_t(rest));
    TxBuffer.Len = rest;
    SendBuffer(TxBuffer, TxSent, false);
    if (TxSent > 0) {
        chunkDone += TxSent;
        lastTakenMs = Clock().MonotonicMs();
        if (stallShown)
            ShowProgress();
    }
    return chunkDone >= chunk.size();
}
} // namespace

void TMainForm::Timer2Timer() {
    QFile& f = SoundFile();
    // A later sound command has taken the transfer over (or closed its file): the upload
    // stops without a word to the device, which has moved on.
    const bool reading = f.isOpen() && !(f.openMode() & QIODevice::WriteOnly);
    if ((SoundMode != 2 && SoundMode != 3) || !reading) {
        Timer2->stop();
        chunk.clear();
        if (reading)
            f.close();
        return;
    }
    if (Timer2->property("tag").toInt() == 1) {
        SoundFileSize = f.size();
        SoundFileSent = 0;
        chunk.clear();
        stallShown = false;
        Timer2->setInterval(100);
        Timer2->setProperty("tag", 2);
    } else {
        Timer2->setInterval(120);
    }
    if (chunk.isEmpty()) {
        if (SoundFileSize <= SoundFileSent) {
            EndUpload(Timer2);
            return;
        }
        const int n = int(std::min<int64_t>(SoundBlock, SoundFileSize - SoundFileSent));
        chunk.resize(n);
        errno = 0;
        const qint64 got = f.read(chunk.data(), n);
        if (got != n) {
            // A short read without an error is a file that shrank after its size was taken.
            const QString why = got < 0 && errno != 0
                                    ? SystemErrorText(errno)
                                    : QStringLiteral("файл стал короче, чем был при начале передачи");
            const QString text = QStringLiteral("Ошибка чтения файла %1: %2").arg(f.fileName(), why);
            EndUpload(Timer2);
            // Told once: the upload is over, so no later tick repeats it.
            ShowError(text, this);
            return;
        }
        chunkDone = 0;
        chunkStartMs = lastTakenMs = Clock().MonotonicMs();
    }
    // The window never waits on the line: a station that stops reading leaves the chunk
    // waiting here, retried on each tick, until the line's write time-out has passed.
    if (!PushChunk()) {
        const qint64 now = Clock().MonotonicMs();
        if (now - chunkStartMs < qint64(chunk.size()) * 50) {
            // The operator sees a stall long before the time-out ends the upload.
            if (!stallShown && now - lastTakenMs >= StallNoticeMs) {
                stallShown = true;
                LinkView().SetStatusText(1,
                                         QStringLiteral("Передача фонем: %1 % — станция не принимает данные")
                                             .arg(SoundFileSent * 100 / SoundFileSize));
            }
            return;
        }
        stallShown = false;
        Timer2->stop();
        SoundFile().close();
        chunk.clear();
        LinkView().SetStatusText(1, QStringLiteral("Передача прервана: станция не принимает данные"));
        LinkView().SetSoundLamp(SoundMode == 3 ? 0 : 2, TLamp::Red);
        return;
    }
    SoundFileSent += chunk.size();
    chunk.clear();
    ShowProgress();
    if (SoundFileSent >= SoundFileSize)
        Timer2->setInterval(1000);
}
