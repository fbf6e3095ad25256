// Start-up in an empty folder without the station's adapter, and over what an earlier session left
// (the start with the adapter is in the link end-to-end tests).
#include "app/Application.h"
#include "app/TMainForm.h"
#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/Version.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include "link/Transport.h"
#include "platform/SerialPorts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool menuEnabled(QMenu* m) {
    return m->menuAction()->isEnabled();
}

class StartupTest : public TAppFixture {};

TEST_F(StartupTest, EmptyFolderWithoutAdapterStartsSilentlyWithNoLink) {
    Start();
    EXPECT_EQ(ReadFile("Options.dat"), QString("ttyS0\r\n"));
    EXPECT_EQ(AliasPath("dbVesk"), ProgramFolder());
    EXPECT_TRUE(dialogs_.isEmpty()) << "a port that cannot be opened is silent";
    EXPECT_TRUE(PortName.isEmpty());
    EXPECT_EQ(MainForm->IPort->title(), QString("Порт "));

    // No line, no test: the end of a wait or the station's free report asks in vain for the
    // commands that need the station's answer.
    MainForm->EnableTestControls(true);
    EXPECT_TRUE(menuEnabled(MainForm->IPort));
    EXPECT_TRUE(menuEnabled(MainForm->IDB));
    EXPECT_TRUE(menuEnabled(MainForm->N4));
    EXPECT_FALSE(menuEnabled(MainForm->IVesk));
    EXPECT_FALSE(menuEnabled(MainForm->ITest));
    EXPECT_FALSE(menuEnabled(MainForm->N5));
    for (int pos = 0; pos <= 7; ++pos)
        EXPECT_FALSE(MainForm->ToolPositionEnabled(pos)) << pos;
    EXPECT_TRUE(MainForm->ToolPositionEnabled(9));
    EXPECT_TRUE(MainForm->ToolPositionEnabled(10));
    EXPECT_FALSE(MainForm->N9->isEnabled());

    // The access rule at first show: nothing privileged, the hourly items hidden.
    EXPECT_FALSE(MainForm->mPeriodicTest2->isVisible());
    EXPECT_FALSE(MainForm->mPeriodicTest3->isVisible());
    EXPECT_FALSE(MainForm->N6->isEnabled());
    EXPECT_FALSE(MainForm->N31->isEnabled());
    EXPECT_FALSE(MainForm->mAnsu->isEnabled());

    EXPECT_EQ(CurrentChannel, 1);
    EXPECT_TRUE(MainForm->eRange->text().isEmpty());
    EXPECT_NE(RxLock, nullptr);
}

// A larger font makes the bars above and below the panels taller: the window grows, so that
// the panels keep all of their room.
TEST_F(StartupTest, MainWindowGrowsWithTheBarsOfALargeFont) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSize(20);
    QApplication::setFont(large);
    Start(false);
    QApplication::setFont(before);
    MainForm->ensurePolished();
    EXPECT_GE(MainForm->height() - MainForm->menuBar()->sizeHint().height() -
                  MainForm->ToolBar1->sizeHint().height() - MainForm->StatusBar1->sizeHint().height(),
              392);
}

// Start-up puts back the defaults of whatever an earlier session left in the shared state.
TEST_F(StartupTest, DefaultsOfTheSharedState) {
    ConfigWord = "12345678";
    LocoNumber = "7654321";
    Thresholds[3] = "55";
    MvChannels[2].Prd = "123";
    ToneFlagsG = "10101";
    Start(false);
    EXPECT_EQ(ConfigWord, "01111111");
    EXPECT_EQ(LocoNumber, "1234567");
    EXPECT_EQ(Thresholds[3], "00");
    EXPECT_EQ(MvChannels[2].Prd, "000");
    EXPECT_EQ(ToneFlagsG, "00000");
}

TEST_F(StartupTest, TcpLeftInOptionsIsOverwrittenAndSerialIsSelected) {
    QFile f(QDir(work_).filePath("Options.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("TCP\r\n");
    f.close();
    Start(false);
    EXPECT_EQ(ReadFile("Options.dat"), QString("ttyS0\r\n"));
    EXPECT_TRUE(MainForm->iComSelect->isChecked());
    EXPECT_FALSE(MainForm->iTCPselect->isChecked());
    EXPECT_FALSE(MainForm->iTCP->menuAction()->isVisible());
    EXPECT_TRUE(MainForm->IPort->menuAction()->isVisible());
}

TEST_F(StartupTest, AliasIsRewrittenAfterAMoveButOnlyWhenItDiffers) {
    SetAlias("dbVesk", "PARADOX", "/some/old/folder/");
    SetAlias("other", "PARADOX", "/kept/");
    Start(false);
    EXPECT_EQ(AliasPath("dbVesk"), ProgramFolder());
    EXPECT_EQ(AliasPath("other"), QString("/kept/"));

    // Linux paths are case-sensitive: a folder differing in case is another folder.
    DestroyForms();
    SetAlias("dbVesk", "PARADOX", ProgramFolder().toUpper());
    Start(false);
    EXPECT_EQ(AliasPath("dbVesk"), ProgramFolder());
}

TEST_F(StartupTest, UnwritableOptionsIsShownAndStartUpGoesOn) {
    // A folder in the place of the file: it can be neither created nor read.
    ASSERT_TRUE(QDir(work_).mkdir("Options.dat"));
    Start();
    ASSERT_FALSE(dialogs_.isEmpty());
    EXPECT_EQ(dialogs_.first().Type, TMsgDlgType::Error);
    EXPECT_EQ(dialogs_.first().Caption, QString("Ошибка"));
    EXPECT_TRUE(dialogs_.first().Text.contains("Options.dat"));
    EXPECT_TRUE(dialogs_.first().Text.endsWith("\nПапка: «" + work_ + "»."))
        << dialogs_.first().Text.toStdString();
    EXPECT_NE(RxLock, nullptr);
    EXPECT_EQ(CurrentChannel, 1);
    EXPECT_FALSE(menuEnabled(MainForm->ITest));
    MainForm->ClearMessageGrid(); // the lock exists: no crash
}

// The alias file in a state it cannot be read or written in: the operator reads why in
// Russian, start-up goes on and the journal stays in the program's folder.
TEST_F(StartupTest, AliasFileThatCannotBeUsedIsShownAndStartUpGoesOn) {
    const QString file = config_ + "/vesk/aliases.ini";
    const auto startWith = [&](const char* what, const QString& reason) {
        dialogs_.clear();
        Start(false);
        ASSERT_EQ(dialogs_.size(), 1) << what;
        EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error) << what;
        EXPECT_EQ(dialogs_[0].Text, "Не удалось сохранить настройки псевдонима базы данных: " + reason)
            << what << ": " << dialogs_[0].Text.toStdString();
        EXPECT_NE(RxLock, nullptr) << what;
        EXPECT_TRUE(MainForm->IDB->menuAction()->isEnabled()) << what;
        MainForm->ClearMessageGrid();
        DestroyForms();
    };
    ASSERT_TRUE(QDir().mkpath(file));
    startWith("a folder", "не удаётся прочитать файл aliases.ini: на этом месте находится папка");
    ASSERT_TRUE(QDir().rmdir(file));

    // The alias names the folder of an earlier place of the program.
    const QString old = root_.path() + "/old/";
    ASSERT_TRUE(QDir().mkpath(old));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[dbVesk]\nPATH=" + old.toUtf8() + "\n");
    }
    InjectFileError(file, EACCES); // root reads any file: the refusal is planted
    startWith("no rights to read", "не удаётся прочитать файл aliases.ini: нет прав на чтение");
    InjectFileError(file + ".*", EROFS);
    startWith("no rights to write",
              "Не удаётся записать файл «aliases.ini»: диск доступен только для чтения.");
    InjectFileError({}, 0);
    EXPECT_EQ(AliasPath("dbVesk"), old) << "the file is left as it was";
}

// What a start killed while it made its tables left is gone at the next start.
TEST_F(StartupTest, WorkFilesOfAKilledStartAreRemoved) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const QString prog = root_.path() + "/prog/";
    for (const char* name : {"Test23.DB.new", "РВ.db.new"})
        for (const char* end : {"", "-journal"}) {
            QFile f(prog + name + QString::number(child) + end);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    Start(false);
    EXPECT_TRUE(QDir(prog).entryList({"*.new*"}, QDir::Files).isEmpty())
        << QDir(prog).entryList(QDir::Files).join(' ').toStdString();
}

// A pseudo-terminal to stand for a serial port; closed with the object.
class TPty {
public:
    TPty() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0 && (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~TPty() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    QString Slave() const { return QString::fromLocal8Bit(::ptsname(fd_)); }

private:
    int fd_ = -1;
};

// "Options.dat" that cannot be rewritten at start: the adapter's port found in memory is
// the one opened, and the operator is told once.
TEST_F(StartupTest, UnwritableOptionsStillOpensTheDetectedPort) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    AddTty("ttyUSB0", "cp210x");
    LinkDevice("ttyUSB0", pty.Slave());
    ASSERT_TRUE(QDir(work_).mkdir("Options.dat"));
    Start();
    EXPECT_TRUE(ComPortOpen());
    EXPECT_EQ(PortName, "ttyUSB0");
    EXPECT_EQ(MainForm->IPort->title(), QString("Порт ttyUSB0"));
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.contains("Options.dat"));
    CloseComPort();
}

// Port names are bare tty names: a path out of the device folder is never opened.
TEST_F(StartupTest, PortNameThatLeavesTheDeviceFolderIsRefused) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    QDir(root_.path()).mkpath("outside");
    ASSERT_TRUE(QFile::link(pty.Slave(), root_.path() + "/outside/ttyEVIL"));
    Start(false);
    for (const QString& name : {QString("../outside/ttyEVIL"), QString("ttyUSB0\n"), QString(33, 'x')}) {
        EXPECT_FALSE(OpenComPort(name)) << name.toStdString();
        EXPECT_TRUE(LastOpenErrorText().contains("имя порта")) << LastOpenErrorText().toStdString();
    }
    EXPECT_FALSE(OpenComPort(QString("ttyUSB0") + QChar(10)));
    EXPECT_FALSE(ComPortOpen());
    EXPECT_TRUE(IsBarePortName("ttyUSB0"));
    EXPECT_TRUE(IsBarePortName("TCP"));
    EXPECT_TRUE(IsBarePortName(QString(32, 'x')));
    EXPECT_FALSE(IsBarePortName(""));
    EXPECT_FALSE(IsBarePortName("a/b"));
    EXPECT_FALSE(IsBarePortName("..x"));
    EXPECT_FALSE(IsBarePortName(QString("tty") + QChar(0x7F)));
}

TEST(OptionsFile, UnsafeOrOverlongNameIsRefusedAndAFailedWriteKeepsTheFile) {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const QByteArray& line : {QByteArray("../outside/ttyEVIL"), QByteArray(40, 'x'),
                                   QByteArray(100000, 'y'), QByteArray("tty\x01S0")}) {
        QFile f("Options.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line + "\r\nttyS1\r\n");
        f.close();
        EXPECT_THROW(ReadOptions(), ERangeError) << line.left(40).toStdString();
    }

    // The file is written whole or not at all: a write that fails leaves the old name.
    WriteOptions("ttyUSB0");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    rlimit none = limit;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    EXPECT_THROW(WriteOptions("ttyS1"), EFileError);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadOptions().PortName, QString("ttyUSB0"));
    EXPECT_EQ(QDir().entryList(QDir::Files), QStringList({"Options.dat"}));
    QDir::setCurrent(old);
}

TEST(OptionsFile, ReadNeverFailsOnShortOrOddLines) {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const struct {
        const char* line;
        const char* name;
        int digit;
    } cases[] = {{"TCP", "TCP", 0}, {"COM3", "COM3", 3},       {"COM12", "COM12", 1},
                 {"", "", 0},       {"ttyUSB0", "ttyUSB0", 0}, {"CO", "CO", 0}};
    for (const auto& c : cases) {
        WriteOptions(c.line);
        QFile f("Options.dat");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(c.line) + "\r\n");
        f.close();
        const TOptions o = ReadOptions();
        EXPECT_EQ(o.PortName, QString(c.name));
        EXPECT_EQ(o.PortDigit, c.digit) << c.line;
    }
    QFile::remove("Options.dat");
    const auto failure = [] {
        try {
            ReadOptions();
        } catch (const EFileError& e) {
            return e.Message();
        }
        return QString("no error");
    };
    EXPECT_EQ(failure(), "Не удалось прочитать файл Options.dat: файл или устройство не найдены");
    // A FIFO with a writer that never writes: refused at once, never read.
    ASSERT_EQ(::mkfifo("Options.dat", 0600), 0);
    const int writer = ::open("Options.dat", O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(failure(), "Не удалось прочитать файл Options.dat: на этом месте находится не обычный файл");
    ::close(writer);
    QDir::setCurrent(old);
}

} // namespace
