// The link commands of the main window: port menu, interface menu, TCP connect and
// disconnect, the receive log buttons and the link's part of closing.
#include "app/TMainForm.h"
#include "journal/Attenuation.h"
#include "link/Builders.h"
#include "link/EventDecoder.h"
#include "link/HexLog.h"
#include "link/LinkLog.h"
#include "link/LinkState.h"
#include "link/Receiver.h"
#include "link/TFevery.h"
#include "link/Transport.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SerialPorts.h"
#include "state/LinkView.h"
#include "state/Options.h"
#include "state/UVesk.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>

namespace {

// Closes the serial port when one is open; true when it was.
bool ClosePortIfOpen() {
    if (!ComPortOpen())
        return false;
    CloseComPort();
    return true;
}

// Why the last opening failed, taken before another opening tells its own reason.
QString OpenErrorText() {
    const QString text = LastOpenErrorText();
    return text.isEmpty() ? QStringLiteral("Не удалось открыть порт") : text;
}

// The port menu names the open port; with none open it names none, as at start-up.
QString PortCaption() {
    return ComPortOpen() ? QStringLiteral("Порт ") + PortName : QStringLiteral("Порт ");
}

// Writes "Options.dat"; a failure is shown and the command goes on.
void SaveOptions(QWidget* owner) {
    try {
        WriteOptions(PortName);
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), owner);
    }
}

QString PortOfItem(const QAction* item) {
    const QVariant data = item->data();
    if (data.isValid() && !data.toString().isEmpty())
        return data.toString();
    QString name = item->text();
    name.remove(u'&');
    return name.trimmed();
}

} // namespace

void TMainForm::IPortClick() {
    inom->clear();
    COM11 = nullptr;
    // The menu is rebuilt on every opening: the previous list's radio group goes with it.
    qDeleteAll(inom->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
    auto* group = new QActionGroup(inom);
    for (const TSerialPortEntry& port : SerialPortMap()) {
        QAction* a = inom->addAction(port.PortName);
        a->setObjectName(QStringLiteral("port_") + port.PortName);
        a->setData(port.PortName);
        a->setCheckable(true);
        group->addAction(a);
        if (ComPortOpen() && PortName.toUpper() == port.PortName.toUpper())
            a->setChecked(true);
    }
}

void TMainForm::ICom4Click(QAction* item) {
    if (!item)
        return;
    if (TcpConnected)
        iDisconnectClick();
    if (ClosePortIfOpen())
        Delay(300);
    const QString name = PortOfItem(item);
    if (OpenComPort(name)) {
        EnableLinkMenus(true);
        PortName = name;
        item->setChecked(true);
        SaveOptions(this);
        SendReset();
        IPort->setTitle(PortCaption());
    } else {
        const QString why = OpenErrorText();
        // The previous port again; the operator reads why the chosen one failed once the
        // program shows which port, if any, is open.
        if (!OpenComPort(PortName))
            noLineOpen();
        IPort->setTitle(PortCaption());
        MessageDlg(why, TMsgDlgType::Error, mbOK, this);
    }
    SetStatusText(0, QString());
}

void TMainForm::N8Click() {
    if (PortName.isEmpty())
        return;
    if (ClosePortIfOpen())
        Delay(300);
    if (OpenComPort(PortName)) {
        EnableLinkMenus(true);
        SaveOptions(this);
        SendReset();
        IPort->setTitle(PortCaption());
    } else {
        // The port stays named for the next "Перезапуск", but the menus say that none is
        // open, as at start-up and after a lost line.
        noLineOpen();
        IPort->setTitle(PortCaption());
        MessageDlg(OpenErrorText(), TMsgDlgType::Error, mbOK, this);
    }
    SetStatusText(0, QString());
}

void TMainForm::mClosePortClick() {
    ClosePortIfOpen();
    IPort->setTitle(QStringLiteral("Порт"));
    // The other menus stay as they were; what needs the station's answer goes off.
    if (!LineOpen())
        lineClosed();
}

void TMainForm::noLineOpen() {
    EnableLinkMenus(false);
    lineClosed();
}

void TMainForm::lineClosed() {
    LinkView().ShowStationUnknown();
    applyTestControls(testControlsOn_);
}

void TMainForm::iTCPselectClick() {
    iTCPselect->setChecked(true);
    TcpSelected = iTCPselect->isChecked();
    iTCP->menuAction()->setVisible(iTCPselect->isChecked());
    IPort->menuAction()->setVisible(iComSelect->isChecked());
    if (iTCPselect->isChecked()) {
        PortName = QStringLiteral("TCP");
        SaveOptions(this);
        if (!TcpConnected)
            noLineOpen();
    }
}

void TMainForm::iComSelectClick() {
    iComSelect->setChecked(true);
    TcpSelected = iTCPselect->isChecked();
    IPort->menuAction()->setVisible(iComSelect->isChecked());
    IPort->setTitle(QStringLiteral("Порт"));
    iTCP->menuAction()->setVisible(iTCPselect->isChecked());
}

void TMainForm::iConnectClick() {
    if (ComPortOpen())
        mClosePortClick();
    if (TcpConnected && MessageDlg(QStringLiteral("Соединение установлено. Разорвать?"), TMsgDlgType::Warning,
                                   mbYes | mbNo, this) == mrNo)
        return;
    iDisconnectClick();
    QString address = QString::fromLatin1(DeviceFactoryAddress);
    if (!InputQuery(QStringLiteral("Enter IP"), QString(), address, this))
        return;
    SetStatusText(0, QStringLiteral("Поиск ") + address);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    LinkView().SetBusyCursor(true);
    OpenConnection(address, DeviceTcpPort);
    LinkView().SetBusyCursor(false);
    if (TcpConnected) {
        SetStatusText(0, QStringLiteral("Соединен с: ") + address);
        EnableLinkMenus(true);
        SendReset();
    } else {
        SetStatusText(0, QStringLiteral("Соединение не установлено"));
    }
}

void TMainForm::iDisconnectClick() {
    const bool connected = TcpConnected;
    CloseConnection();
    if (connected)
        LinkGone();
    EnableLinkMenus(false);
    if (!LineOpen())
        lineClosed();
    SetStatusText(0, QString());
}

void TMainForm::IEveryClick() {
    if (Fevery)
        Fevery->show();
}

void TMainForm::SetLinkMenus(bool flag) {
    EnableLinkMenus(flag);
}

void TMainForm::WMSocketEvent() {
    HandleSocketInput();
}

void TMainForm::HReadDone() {
    HandleReaderEnded();
}

void TMainForm::bOpebFileInClick() {
    try {
        RxLog.Open();
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}

void TMainForm::bCloseFileInClick() {
    RxLog.Close();
}

void TMainForm::FormClose() {
    if (TcpConnected) {
        try {
            CloseConnection();
        } catch (...) {
        }
    }
    try {
        CloseAttenuationTable();
    } catch (const std::exception& e) {
        MessageDlg(ExceptionText(e), TMsgDlgType::Error, mbOK, this);
    }
}

void TMainForm::FormDestroy() {
    StopReader();
    // The port is closed too, so that a window made again in the same process can open it.
    CloseComPort();
    CloseConnection();
    RxLog.Close();
    TxLog.Close();
    // A window set made again in the same process (tests) starts from a quiet receiver.
    ResetReceiver();
    ResetEventDecoder();
    try {
        CloseAttenuationTable();
    } catch (const std::exception& e) {
        qCWarning(lcLink) << "closing the attenuation table:" << e.what();
    }
}
