// Start-up of the main window: alias, grid, defaults, "Options.dat", first connection.
#include "app/TMainForm.h"
#include "link/Transport.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SerialPorts.h"
#include "state/Options.h"
#include "state/UVesk.h"

#include <QAction>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QMenu>
#include <QTableWidget>

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

void setHeader(QTableWidget* grid, int column, const QString& text) {
    grid->setItem(0, column, new QTableWidgetItem(text));
}

} // namespace

void TMainForm::FormCreate() {
    // The receive lock and the defaults exist before anything that can fail.
    if (!RxLock)
        RxLock = new QRecursiveMutex;
    SetStartupDefaults();
    ResetTraceRings();
    step(this, [] { EnsureDbAlias(); });
    ComHandle = -1;

    const QFontMetrics fm(StringGrid1->font());
    StringGrid1->setColumnWidth(0, fm.horizontalAdvance(" 100 "));
    StringGrid1->setColumnWidth(1, fm.horizontalAdvance(" Диапазон  "));
    StringGrid1->setColumnWidth(2, 275);
    setHeader(StringGrid1, 0, " № ");
    setHeader(StringGrid1, 1, " Канал ");
    setHeader(StringGrid1, 2, " Сообщение ");
    StringGrid1->setCurrentCell(1, 0);
    const int wide = fm.horizontalAdvance("ГМВ: Прием № локомотива и передача ППНЛ ");
    if (StringGrid1->columnWidth(2) < wide)
        StringGrid1->setColumnWidth(2, wide);

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
