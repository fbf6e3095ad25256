// Sound-file upload timer of the main window: sends the file a command 2 or 3 asked for
// in chunks of up to 1024 bytes, then the end command.
#include "app/TMainForm.h"
#include "link/Builders.h"
#include "link/Sound.h"
#include "link/TxBuffer.h"
#include "platform/Dialogs.h"
#include "state/LinkView.h"
#include "voice/VoicePath.h"

#include <QFile>
#include <QTimer>

int64_t SoundFileSize = 0;
int64_t SoundFileSent = 0;

namespace {
// Ends the upload: the end command, the timer off, the file closed, the indicator idle.
void EndUpload(QTimer* timer) {
    timer->stop();
    SoundFile().close();
    LinkView().SetStatusText(1, QString());
    LinkView().SetSoundLamp(SoundMode == 3 ? 0 : 2, TLamp::White);
    SendCmdSnd(15);
}
} // namespace

void TMainForm::Timer2Timer() {
    QFile& f = SoundFile();
    // A later sound command has taken the transfer over (or closed its file): the upload
    // stops without a word to the device, which has moved on.
    const bool reading = f.isOpen() && !(f.openMode() & QIODevice::WriteOnly);
    if ((SoundMode != 2 && SoundMode != 3) || !reading) {
        Timer2->stop();
        if (reading)
            f.close();
        return;
    }
    if (Timer2->property("tag").toInt() == 1) {
        SoundFileSize = f.size();
        SoundFileSent = 0;
        Timer2->setInterval(100);
        Timer2->setProperty("tag", 2);
    } else {
        Timer2->setInterval(120);
    }
    if (SoundFileSize <= SoundFileSent) {
        EndUpload(Timer2);
        return;
    }
    const int n = int(std::min<int64_t>(SoundBlock, SoundFileSize - SoundFileSent));
    {
        TTxLock lock(TxMutex());
        if (f.read(reinterpret_cast<char*>(TxBuffer.Data), n) != n) {
            const QString text =
                QStringLiteral("Ошибка чтения файла %1: %2").arg(f.fileName(), f.errorString());
            EndUpload(Timer2);
            // Told once: the upload is over, so no later tick repeats it.
            ShowError(text, this);
            return;
        }
        TxBuffer.Len = n;
        SoundFileSent += n;
        SendBuffer(TxBuffer, TxSent);
    }
    LinkView().SetStatusText(1,
                             QStringLiteral("Передача фонем: %1 %").arg(SoundFileSent * 100 / SoundFileSize));
    if (SoundFileSent >= SoundFileSize)
        Timer2->setInterval(1000);
}
