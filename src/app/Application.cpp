#include "app/Application.h"

#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "journal/BlockNumTable.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFDBRV.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "journal/TfBlockNum.h"
#include "journal/TfBlockNumRep.h"
#include "link/RxPump.h"
#include "link/TFevery.h"
#include "link/Transport.h"
#include "params/TFParam.h"
#include "params/TFSPC.h"
#include "params/TfAnsu.h"
#include "platform/DialogPresenter.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ScreenColormap.h"
#include "runs/JournalWriters.h"
#include "runs/TFTestDlg.h"
#include "runs/TestRun.h"
#include "state/LinkView.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QScreen>
#include <QSocketNotifier>
#include <QTranslator>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "vesk.app")

namespace {

// Qt's own dialogs (files, printing) show sizes and dates by the locale that Qt reads from
// the environment as the application object is made. The program's locale is Russian
// whatever the machine's: Qt reads Russian, while the C library and the environment keep
// the machine's own (numbers written by the C library keep their decimal point).
struct TMachineLocale {
    bool HadLcAll = false;
    QByteArray LcAll;
    std::string C; // the C library's locale
} machine;

int& TakeRussianForQt(int& argc) {
    std::setlocale(LC_ALL, ""); // the machine's, as the application object would take it
    if (const char* c = std::setlocale(LC_ALL, nullptr))
        machine.C = c;
    machine.HadLcAll = qEnvironmentVariableIsSet("LC_ALL");
    machine.LcAll = qgetenv("LC_ALL");
    qputenv("LC_ALL", "ru_RU.UTF-8");
    return argc;
}

/// Sizes in Qt's file dialog as a Russian operator reads them: "9 байт", "4,88 кБ" (Qt's
/// own Russian leaves the binary units in English).
class TRussianFileSizes : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || index.column() != 1 || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (files->isDir(source))
            return QIdentityProxyModel::data(index, role);
        return RussianDataSize(files->size(source));
    }
};

void GiveTheMachineItsLocaleBack() {
    (void)QLocale::system(); // read by now; it stays Russian
    if (machine.HadLcAll)
        qputenv("LC_ALL", machine.LcAll);
    else
        qunsetenv("LC_ALL");
    // The character type Qt settled on (always UTF-8) stays.
    const std::string ctype = std::setlocale(LC_CTYPE, nullptr) ? std::setlocale(LC_CTYPE, nullptr) : "";
    if (!machine.C.empty())
        std::setlocale(LC_ALL, machine.C.c_str());
    if (!ctype.empty())
        std::setlocale(LC_CTYPE, ctype.c_str());
}

} // namespace

QString RussianDataSize(qint64 bytes) {
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    if (bytes >= 1024)
        return russian.formattedDataSize(bytes, 2, QLocale::DataSizeTraditionalFormat);
    const qint64 tens = bytes % 100, ones = bytes % 10;
    const bool few = ones >= 2 && ones <= 4 && (tens < 12 || tens > 14);
    return QString("%1 %2").arg(bytes).arg(few ? "байта" : "байт");
}

TVeskApplication::TVeskApplication(int& argc, char** argv) : QApplication(TakeRussianForQt(argc), argv) {
    GiveTheMachineItsLocaleBack();
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

bool TVeskApplication::notify(QObject* receiver, QEvent* event) {
    // Every window, Qt's own dialogs too, is as wide as its caption needs to show whole, as
    // it is shown and when its caption changes while it is shown.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::WindowTitleChange) && receiver->isWidgetType())
        if (auto* w = static_cast<QWidget*>(receiver);
            w->isWindow() && (type == QEvent::Show || w->isVisible())) {
            KeepCaptionWhole(w);
            UseScreenColormap(w);
            if (auto* files = qobject_cast<QFileDialog*>(w); files && !files->proxyModel())
                files->setProxyModel(new TRussianFileSizes(files));
        }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        qCWarning(lcApp) << "error in a handler:" << ExceptionText(e);
        ShowError(ExceptionText(e));
    } catch (...) {
        ShowError("Внутренняя ошибка программы");
    }
    return false;
}

bool InstallQtTranslations() {
    static bool installed = false;
    if (installed)
        return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (const char* catalog : {"qtbase", "qtserialport"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(russian, catalog, "_", folder)) {
            QCoreApplication::installTranslator(translator);
            installed = true;
        } else {
            // The program goes on with Qt's English texts for the standard buttons and menus.
            qCWarning(lcApp) << "no Russian translation" << catalog << "in" << folder;
            delete translator;
        }
    }
    return installed;
}

void InitApplication() {
    InstallQtTranslations();
    InstallDialogPresenter();
    // Only the name, not a display name: the window system would add a display name to the
    // caption of every window and dialog.
    QApplication::setApplicationName("ВЕСК-4ТЦ");
    qApp->setProperty("HelpFile", "Vesk_Help.hlp");
}

namespace {
template <typename T> void create(T*& instance) {
    if (!instance)
        instance = new T(MainForm);
}
template <typename T> void destroy(T*& instance) {
    delete instance;
    instance = nullptr;
}
} // namespace

void CreateForms() {
    // The station's results wait while a start-up dialog runs the event loop.
    SetStartingUp(true);
    struct TStarted {
        ~TStarted() { SetStartingUp(false); }
    } started;
    MainForm = new TMainForm;
    SetMainView(MainForm);
    SetMainFormReceiver(MainForm);
    InstallLinkView();
    MainForm->FormCreate();
    create(FParam);
    create(Fevery);
    create(FTestDlg);
    create(AboutBox);
    create(FSPC);
    create(FCall);
    create(Form2);
    create(FDB);
    create(FDB23);
    create(FSelectDlg);
    create(FDBRV);
    create(fBlockNum);
    create(fBlockNumRep);
    create(fAnsu);
}

void ShowMainForm() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        MainForm->move(screen->availableGeometry().center() - MainForm->rect().center());
    MainForm->show();
}

void DestroyForms() {
    if (!MainForm)
        return;
    MainForm->FormDestroy();
    destroy(fAnsu);
    destroy(fBlockNumRep);
    destroy(fBlockNum);
    destroy(FDBRV);
    destroy(FSelectDlg);
    destroy(FDB23);
    destroy(FDB);
    destroy(Form2);
    destroy(FCall);
    destroy(FSPC);
    destroy(AboutBox);
    destroy(FTestDlg);
    destroy(Fevery);
    destroy(FParam);
    SetMainFormReceiver(nullptr);
    SetMainView(nullptr);
    delete MainForm;
    MainForm = nullptr;
}

namespace {

int signalPipe[2] = {-1, -1}; // the handler writes the signal's number, the window thread reads it
bool endRequested = false;

void OnEndSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

// The waits in progress end (without a "no answer" row) and every event loop returns, the
// open dialogs' too, so that main() gets to journal what still waits.
void EndRun() {
    endRequested = true;
    // A dialog asked for from here on (the rest of start-up, the failures gathered meanwhile)
    // would hold the end: it goes to the log.
    EndDialogs();
    TestWaiting = false;
    // The windows close as at any end, the dialog in front first (a call window ends its
    // transmission); then every event loop returns, whether or not a window refused to
    // close, a start-up dialog's too (before the main loop runs, quit() would do nothing).
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

} // namespace

void InstallEndOfRun() {
    // The main window closed during a wait ends the run there as a signal does (a start-up
    // dialog closed, with no wait to end, is no end of the run).
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, qApp, [] {
        endRequested = endRequested || TestWaitRunning();
        TestWaiting = false;
    });
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        qCWarning(lcApp) << "no signal pipe:" << std::strerror(errno);
        return;
    }
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK); // a handler never waits
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1)
            qCWarning(lcApp) << "ending on signal" << int(byte);
        EndRun();
    });
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

bool EndOfRunRequested() {
    return endRequested;
}

void FinishRun() {
    EndDialogs();
    // What the reader took from the line is decoded: the results in it wait like the others.
    StopReader();
    DeliverPendingBytes();
    // No dialog may hold the end: a factory-number row the operator left half edited is
    // given up, as the window's end would give it up, before the waiting sets are saved.
    if (TBlockNumTable* t = BlockNumTable();
        t && (t->State() == TDataState::Edit || t->State() == TDataState::Insert)) {
        qCWarning(lcApp) << "factory-number row left in edit at the end of the run: not saved";
        t->Cancel();
    }
    JournalWaitingResults(JournalFolder());
}
