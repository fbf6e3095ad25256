// Start-up of the main window: alias, grid, defaults, "Options.dat", first connection.
#include "app/TMainForm.h"
#include "app/TMessageGrid.h"
#include "link/Transport.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SerialPorts.h"
#include "platform/Table.h"
#include "state/Options.h"
#include "state/UVesk.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMenu>
#include <algorithm>

Q_LOGGING_CATEGORY(lcStartup, "vesk.startup")

namespace {

// Runs one start-up step; an error is shown and start-up goes on with the next step.
template <typename F> void step(QWidget* owner, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        qCWarning(lcStartup) << ExceptionText(e);
        ShowError(ExceptionText(e), owner);
    }
}

} // namespace

void TMainForm::FormCreate() {
    // The receive lock and the defaults exist before anything that can fail.
    if (!RxLock)
        RxLock = new QRecursiveMutex;
    SetStartupDefaults();
    ResetTraceRings();
    step(this, [this] {
        if (const QString note = EnsureDbAlias(); !note.isEmpty())
            MessageDlg(note, TMsgDlgType::Warning, mbOK, this);
    });
    // What a run killed while it made a table left beside the tables goes now.
    RemoveStaleTableFiles(JournalFolder());
    ComHandle = -1;

    // The number and channel columns take their sample texts, or their titles when wider;
    // the message column takes the rest of the panel (see TMessageGrid).
    StringGrid1->setCellText(0, 0, " № ");
    StringGrid1->setCellText(0, 1, " Канал ");
    StringGrid1->setCellText(0, 2, " Сообщение ");
    const QFontMetrics fm(StringGrid1->font());
    QHeaderView* header = StringGrid1->horizontalHeader();
    StringGrid1->setColumnWidth(0, std::max(fm.horizontalAdvance(" 100 "), header->sectionSizeHint(0)));
    StringGrid1->setColumnWidth(1, std::max(fm.horizontalAdvance(" Диапазон  "), header->sectionSizeHint(1)));
    StringGrid1->setCurrentCell(1, 2);

    IPort->menuAction()->setVisible(iComSelect->isChecked());
    iTCP->menuAction()->setVisible(iTCPselect->isChecked());

    // The station's adapter, or the default port; a name that is no bare tty name (a
    // strange sysfs entry) is not taken.
    QString detected = FindUsbSerialPort();
    if (!IsBarePortName(detected))
        detected = DefaultPortName();
    bool written = false;
    step(this, [&] {
        WriteOptions(detected);
        written = true;
    });
    // The file read back names the port; when it could not be written (a full disk, a
    // read-only folder: the operator has been told) or holds an unsafe name, the port
    // found in memory is the one opened, never a stale or a default one.
    PortName = detected;
    if (written)
        step(this, [&] { PortName = ReadOptions().PortName; });
    // Start-up always comes up on the serial interface.
    iTCPselect->setChecked(false);
    iComSelect->setChecked(true);
    IPort->menuAction()->setVisible(true);
    iTCP->menuAction()->setVisible(false);
    if (!PortName.isEmpty() && OpenComPort(PortName)) {
        EnableLinkMenus(true);
        SendReset();
    } else {
        PortName.clear();
        EnableLinkMenus(false);
    }

    if (!PortName.contains("TCP"))
        IPort->setTitle("Порт " + PortName);

    // Sockets need no start-up here; the channel starts at ГМВ1.
    CurrentChannel = 1;
}

void TMainForm::FormShow() {
    UpdateServiceMenus(true);
    if (iComSelect->isChecked() && !PortName.isEmpty())
        SendReset();
}
