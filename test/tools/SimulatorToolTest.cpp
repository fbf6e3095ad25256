// vesk-sim as a maintainer runs it: a signal ends it at any line of a script, after the
// script the line stays up with the station answering, and it leaves no folder behind.
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

class SimulatorToolTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (sim_.state() != QProcess::NotRunning) {
            sim_.kill();
            sim_.waitForFinished(5000);
        }
    }
    /// Starts vesk-sim with the script text (none when null; empty: a script file that is not
    /// there), in the test's own folder, or without --dir and with TMPDIR when tmpDir is given.
    void Start(const QString& script, const QString& tmpDir = {}) {
        ASSERT_TRUE(dir_.isValid());
        QStringList args;
        if (tmpDir.isEmpty())
            args << "--dir" << dir_.filePath("line");
        if (!script.isNull()) {
            QFile f(dir_.filePath("script.txt"));
            f.remove();
            if (!script.isEmpty()) {
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(script.toUtf8());
                f.close();
            }
            args << "--script" << f.fileName();
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!tmpDir.isEmpty())
            env.insert("TMPDIR", tmpDir);
        sim_.setProcessEnvironment(env);
        sim_.setProcessChannelMode(QProcess::SeparateChannels);
        out_.clear();
        sim_.start(VESK_SIM, args);
        ASSERT_TRUE(sim_.waitForStarted(10000));
    }
    /// Reads the tool's output until a line holds text; at most 20 s.
    bool WaitForOutput(const QString& text) {
        for (int i = 0; i < 200 && !out_.contains(text); ++i) {
            sim_.waitForReadyRead(100);
            out_ += QString::fromUtf8(sim_.readAllStandardOutput());
            if (sim_.state() == QProcess::NotRunning)
                break;
        }
        return out_.contains(text);
    }
    /// Sends a signal and waits (at most 20 s) for the tool to end; true when it ended.
    bool StopWith(int signal) {
        ::kill(pid_t(sim_.processId()), signal);
        const bool ended = sim_.waitForFinished(20000);
        out_ += QString::fromUtf8(sim_.readAllStandardOutput());
        return ended;
    }
    /// Opens the program's end of the line, raw; -1 when it cannot.
    int OpenLine() {
        const int fd = ::open(QDir(dir_.filePath("line/dev")).filePath("ttyUSB0").toLocal8Bit().constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        return fd;
    }
    /// What the station has sent within 100 ms.
    static QByteArray ReadLine(int fd) {
        pollfd p{fd, POLLIN, 0};
        char buf[256];
        const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(fd, buf, sizeof buf) : 0;
        return n > 0 ? QByteArray(buf, n) : QByteArray();
    }
    QTemporaryDir dir_;
    QProcess sim_;
    QString out_;
};

TEST_F(SimulatorToolTest, ASignalEndsTheScriptAtAnyLine) {
    struct Case {
        const char* script;
        const char* line; // the line the script is at when the signal comes
        int signal;
    };
    for (const Case& c : {Case{"wait 600000\nsend C0\n", "# wait 600000", SIGTERM},
                          Case{"timeout 600000\nexpect D0 D0 D0\n", "# expect D0 D0 D0", SIGINT}}) {
        SCOPED_TRACE(c.script);
        out_.clear();
        Start(c.script);
        ASSERT_TRUE(WaitForOutput(c.line)) << out_.toStdString();
        ASSERT_TRUE(StopWith(c.signal)) << "still running: " << out_.toStdString();
        EXPECT_EQ(sim_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(sim_.exitCode(), 0);
        EXPECT_TRUE(out_.contains("# stopped")) << out_.toStdString();
        EXPECT_FALSE(out_.contains("send C0")) << "the rest of the script is not played";
    }
}

TEST_F(SimulatorToolTest, AfterTheScriptTheLineStaysUpAndTheStationAnswers) {
    Start("send CB\n");
    ASSERT_TRUE(WaitForOutput("# answering as a station")) << out_.toStdString();
    EXPECT_TRUE(out_.contains("# script done"));
    ASSERT_EQ(sim_.state(), QProcess::Running);

    // The program's end of the line: a reset byte is answered with "free", "working" and
    // the heartbeat, and the heartbeat comes again while the line is held.
    const int fd = OpenLine();
    ASSERT_GE(fd, 0);
    const unsigned char reset = 0xD0;
    ASSERT_EQ(::write(fd, &reset, 1), 1);
    QByteArray got;
    const auto answeredAndBeatAgain = [&] {
        const qsizetype at = got.indexOf("\xC0\xCA\xCB");
        return at >= 0 && got.indexOf('\xCB', at + 3) >= 0;
    };
    for (int i = 0; i < 200 && !answeredAndBeatAgain(); ++i)
        got += ReadLine(fd);
    ::close(fd);
    EXPECT_TRUE(answeredAndBeatAgain()) << got.toHex(' ').toStdString();
    ASSERT_TRUE(StopWith(SIGTERM));
    EXPECT_EQ(sim_.exitCode(), 0);
    EXPECT_TRUE(out_.endsWith("# stopped\n"))
        << "a signal while answering is told too: " << out_.toStdString();
}

// A test the program starts is answered in pieces; the heartbeat, due every two seconds,
// used to land between them and break the frame it fell in (a result lost).
TEST_F(SimulatorToolTest, TheHeartbeatNeverFallsInsideAFrame) {
    Start(QString());
    ASSERT_TRUE(WaitForOutput("# answering as a station")) << out_.toStdString();
    const int fd = OpenLine();
    ASSERT_GE(fd, 0);
    // Starts of test 3 a few ahead, so that the station is always sending a reply (a slow
    // reader here leaves it no pause between two), until five heartbeats have come.
    const QByteArray start = QByteArray::fromHex("E280808080808080 83E3");
    int started = 0, ended = 0, beats = 0;
    bool inFrame = false;
    QByteArray got, broken;
    QElapsedTimer clock;
    qint64 shortestGap = LLONG_MAX;
    for (QDeadlineTimer deadline(60000); beats < 5 && !deadline.hasExpired();) {
        while (started < ended + 4) {
            ASSERT_EQ(::write(fd, start.constData(), size_t(start.size())), start.size());
            ++started;
        }
        for (const char c : ReadLine(fd)) {
            const auto b = uchar(c);
            got += c;
            ended += b == 0xC0;
            if (b == 0xCB) {
                ++beats;
                if (inFrame)
                    broken = got.right(12);
                if (clock.isValid())
                    shortestGap = std::min(shortestGap, clock.restart());
                else
                    clock.start();
            }
            if (b >= 0xE0)
                inFrame = !(b & 1);
            else if (b < 0x80 || b > 0x8F)
                inFrame = false;
        }
    }
    ::close(fd);
    ASSERT_EQ(beats, 5) << ended << " replies";
    EXPECT_TRUE(broken.isEmpty()) << "a heartbeat inside a frame: " << broken.toHex(' ').toStdString();
    // Every reply is test 3's (its result frame is the start's bytes). The beats keep their
    // two seconds: load only stretches them, and a beat that a frame held back shortens the
    // next gap by no more than that frame took.
    EXPECT_TRUE(ended > 0 && got.count(start) >= ended) << ended << " replies";
    EXPECT_GT(shortestGap, 500);
}

TEST_F(SimulatorToolTest, ArgumentsAreTakenAsDocumented) {
    QTcpServer probe; // a free port on 127.0.0.1
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    sim_.start(VESK_SIM, {"--dir", dir_.filePath("line"), "--tcp", port});
    ASSERT_TRUE(WaitForOutput("# listening on 127.0.0.1:" + port + "\n")) << out_.toStdString();
    ASSERT_TRUE(StopWith(SIGTERM));
    // An option without its value is refused with the usage.
    for (const char* option : {"--dir", "--script"}) {
        sim_.start(VESK_SIM, {option});
        ASSERT_TRUE(sim_.waitForFinished(20000)) << option;
        EXPECT_EQ(sim_.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(sim_.exitCode(), 2) << option;
    }
}

TEST_F(SimulatorToolTest, WithoutAScriptASignalEndsTheStationAndSaysSo) {
    Start(QString());
    ASSERT_TRUE(WaitForOutput("# answering as a station")) << out_.toStdString();
    ASSERT_TRUE(StopWith(SIGINT)) << "still running: " << out_.toStdString();
    EXPECT_EQ(sim_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim_.exitCode(), 0);
    EXPECT_TRUE(out_.endsWith("# stopped\n")) << out_.toStdString();
}

TEST_F(SimulatorToolTest, ItsOwnFolderIsRemovedHoweverItEnds) {
    struct Case {
        const char* what;
        const char* script; // as Start takes it
        const char* line;   // the line to wait for before the signal
        int signal;         // 0: the tool ends by itself
        int code;
    };
    const Case cases[] = {
        {"Ctrl+C without a script", nullptr, "# answering as a station", SIGINT, 0},
        {"SIGTERM in a script", "wait 600000\n", "# wait 600000", SIGTERM, 0},
        {"the terminal closed after a script", "send CB\n", "# answering as a station", SIGHUP, 0},
        {"a failed script", "timeout 50\nexpect D0\n", nullptr, 0, 1},
        {"a script that cannot be read", "", nullptr, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        Start(c.script ? QString(c.script) : QString(), tmp.path());
        if (c.signal) {
            ASSERT_TRUE(WaitForOutput(c.line)) << out_.toStdString();
            ASSERT_TRUE(StopWith(c.signal)) << "still running: " << out_.toStdString();
        } else {
            ASSERT_TRUE(sim_.waitForFinished(20000));
            out_ += QString::fromUtf8(sim_.readAllStandardOutput());
        }
        EXPECT_EQ(sim_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(sim_.exitCode(), c.code) << sim_.readAllStandardError().toStdString();
        // The tree is made in the temporary folder named by TMPDIR, and gone at the end.
        const QRegularExpressionMatch made = QRegularExpression("VESK_SYS_DIR=(.*)/sys\n").match(out_);
        if (c.script && !*c.script) {
            EXPECT_FALSE(made.hasMatch()) << "nothing is made for a script that cannot be read";
        } else {
            ASSERT_TRUE(made.hasMatch()) << out_.toStdString();
            EXPECT_TRUE(made.captured(1).startsWith(tmp.path() + "/vesk-sim."))
                << made.captured(1).toStdString();
            EXPECT_FALSE(QFileInfo::exists(made.captured(1)))
                << "left behind: " << made.captured(1).toStdString();
        }
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList());
    }
}

} // namespace
