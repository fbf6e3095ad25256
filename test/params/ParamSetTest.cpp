// The parameter set without a window: frame builders, "params.txt" and the helpers of
// the service word.
#include "params/ParamSet.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "runs/TestState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString Built() {
    return QByteArray(reinterpret_cast<const char*>(TxBuffer.Data), TxBuffer.Len).toHex(' ').toUpper();
}

class ParamSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetStartupDefaults();
        for (auto& p : PshSettings)
            p = TPshSetting{};
        ParamBlock2[0] = ParamBlock2[1] = ParamBlock2[2] = QString();
        TxBuffer.Len = 0;
        ParamsDirty = 0;
    }
    QString Path() const { return dir_.filePath("params.txt"); }
    void Write(const QByteArray& text) const {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir dir_;
};

TEST_F(ParamSetTest, FramesTakeTheirDigitsByPositionAsHex) {
    ConfigWord = "0a1F2g34";
    AppendConfigWordFrame();
    EXPECT_EQ(Built(), "E8 80 8A 81 8F 82 80 83 84 E9") << "a non-hex character travels as 80";

    TxBuffer.Len = 0;
    ParamBlock2[0] = "12";
    ParamBlock2[1] = "A";
    ParamBlock2[2] = "ff";
    AppendParamBlock2Frame();
    EXPECT_EQ(Built(), "EA 80 82 81 82 8A 8F 8F EB");

    TxBuffer.Len = 0;
    ParamBlock2[1] = "34";
    AppendAllFrames();
    EXPECT_EQ(TxBuffer.Len, 190);

    TxBuffer.Len = 0;
    MvChannels[4] = {"123", "456"};
    AppendChannelFrame(4);
    EXPECT_EQ(Built(), "E4 80 84 81 82 83 84 85 86 E5");
    EXPECT_THROW(AppendChannelFrame(5), ERangeError);
    EXPECT_THROW(AppendChannelFrame(0), ERangeError);
    MvChannels[1].Prd = "45";
    EXPECT_THROW(AppendChannelFrame(1), ERangeError) << "a short value is refused, not read past";
}

TEST_F(ParamSetTest, EachTagClearsItsOwnMarkAndAnUnknownTagSendsNothing) {
    ParamsDirty = 1 | 2 | 4 | 8 | 16;
    AppendParamFrames(3);
    EXPECT_EQ(ParamsDirty, 1 | 2 | 4 | 16);
    EXPECT_EQ(Built(), "E4 80 82 80 80 80 80 80 80 E5");
    AppendParamFrames(0);
    EXPECT_EQ(ParamsDirty, 2 | 4 | 16);
    TxBuffer.Len = 0;
    EXPECT_THROW(AppendParamFrames(5), ERangeError);
    EXPECT_THROW(AppendParamFrames(-1), ERangeError);
    EXPECT_EQ(TxBuffer.Len, 0);
    EXPECT_EQ(ParamsDirty, 2 | 4 | 16);
    AppendParamFrames(SendAllTag);
    EXPECT_EQ(ParamsDirty, 0);
    EXPECT_EQ(TxBuffer.Len, 184);
}

TEST_F(ParamSetTest, CommaAndServiceWordHelpers) {
    EXPECT_EQ(ZapInsert("15"), "1,5");
    EXPECT_EQ(ZapInsert("5"), "5,");
    EXPECT_EQ(ZapInsert(""), ",");

    ConfigWord = "0123";
    SetConfigFlag(2, 4, true);
    EXPECT_EQ(ConfigWord, "05230000") << "a short word is filled up to 8 digits first";
    SetConfigFlag(2, 1, false);
    EXPECT_EQ(ConfigWord, "04230000");
    SetConfigDigit(8, u'3');
    EXPECT_EQ(ConfigWord, "04230003");
    ConfigWord = "12";
    SetConfigDigit(5, u'7');
    EXPECT_EQ(ConfigWord, "12007000");
    ConfigWord = "04230003";
    EXPECT_TRUE(ConfigFlag(ConfigWord, 2, 4));
    EXPECT_FALSE(ConfigFlag(ConfigWord, 2, 2));
    EXPECT_FALSE(ConfigFlag("0", 2, 4)) << "a missing digit has no flags";
    EXPECT_EQ(ConfigDigit(ConfigWord, 3), 2);
    EXPECT_EQ(ConfigDigit("12x", 3), -1);
    EXPECT_EQ(ConfigDigit("12", 3), -1);
    EXPECT_THROW(SetConfigDigit(9, u'1'), ERangeError);
    EXPECT_THROW(ConfigFlag(ConfigWord, 0, 1), ERangeError);
    EXPECT_THROW(ConfigDigit(ConfigWord, 0), ERangeError);
}

TEST_F(ParamSetTest, FileRoundTripKeepsEveryValueInTheFile) {
    ConfigWord = "21234569";
    Thresholds[0] = "99";
    Thresholds[1] = "15";
    Thresholds[2] = "20";
    Thresholds[4] = "05";
    Thresholds[5] = "07";
    for (int s = 1; s <= 4; ++s)
        MvChannels[s] = {QString("%1%1%1").arg(s), QString("%1%1%1").arg(s + 4)};
    PshSettings[0] = {255, true};
    PshSettings[1] = {0, false};
    SaveParamsFile(Path());
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "21234569\r\n15 05 20 07 \r\n111 555 222 666 333 777 444 888 \r\n255\r\n0\r\n0\r\n1\r\n");

    SetStartupDefaults();
    PshSettings[0] = PshSettings[1] = TPshSetting{};
    Thresholds[0] = "33";
    ASSERT_EQ(LoadParamsFile(Path()), TParamsLoad::Loaded);
    EXPECT_EQ(ConfigWord, "21234569");
    EXPECT_EQ(Thresholds[0], "33") << "not in the file";
    EXPECT_EQ(Thresholds[1] + Thresholds[2] + Thresholds[4] + Thresholds[5], "15200507");
    EXPECT_EQ(MvChannels[4].Prd, "888");
    EXPECT_EQ(MvChannels[2].Prm, "222");
    EXPECT_EQ(PshSettings[0].Level, 255);
    EXPECT_TRUE(PshSettings[0].Off);
    EXPECT_EQ(PshSettings[1].Level, 0);
    EXPECT_FALSE(PshSettings[1].Off);
}

TEST_F(ParamSetTest, ShortLinesAndOnFlagsAreTakenAsTheyStand) {
    Write("01111111\n15\n123 4\n10\n7\n20\n0\n");
    ASSERT_EQ(LoadParamsFile(Path()), TParamsLoad::Loaded) << "LF alone ends a line too";
    EXPECT_EQ(Thresholds[1], "15");
    EXPECT_EQ(Thresholds[4], "");
    EXPECT_EQ(Thresholds[5], "");
    EXPECT_EQ(MvChannels[1].Prm, "123");
    EXPECT_EQ(MvChannels[1].Prd, "4");
    EXPECT_EQ(MvChannels[2].Prm, "");
    EXPECT_FALSE(PshSettings[0].Off) << "any integer but 0 is on";
    EXPECT_TRUE(PshSettings[1].Off);
    EXPECT_EQ(PshSettings[1].Level, 20);
}

TEST_F(ParamSetTest, RefusedFilesChangeNothing) {
    const char* refused[] = {
        "0111111\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n",  // a 7-digit word
        "0111111A\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n", // a letter in the word
        "01111111\r\n\r\n\r\n256\r\n1\r\n1\r\n1\r\n",
        "01111111\r\n\r\n\r\n1\r\n1\r\n-1\r\n1\r\n",
        "01111111\r\n\r\n\r\nabc\r\n1\r\n1\r\n1\r\n",
        "01111111\r\n\r\n\r\n1\r\nx\r\n1\r\n1\r\n",
        "01111111\r\n\r\n\r\n1\r\n1\r\n1\r\n", // six lines
        "01111111\r\n\r\n\r\n1\r\n1\r\n1",     // six lines, the last unended
        "",
    };
    for (const char* text : refused) {
        Write(text);
        EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Refused) << text;
        EXPECT_EQ(ConfigWord, "01111111") << text;
        EXPECT_EQ(PshSettings[0].Level, 127) << text;
        EXPECT_EQ(Thresholds[1], "00") << text;
    }
    Write(" 01111111\r\n\r\n\r\n 1 \r\n 0\r\n2\r\n1\r\n");
    EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Refused) << "the word is taken whole";
    Write("01111111\r\n\r\n\r\n 1 \r\n 0\r\n2\r\n1\r\n");
    EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Loaded) << "blanks round an integer";
    Write("01111111\r\n\r\n\r\n1\r\n0\r\n2\r\n1\r\n" + QByteArray(70 * 1024, '\n'));
    EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Refused) << "no file of that size is ours";
    EXPECT_EQ(LoadParamsFile(dir_.filePath("none.txt")), TParamsLoad::NoFile);
    EXPECT_EQ(LoadParamsFile(dir_.path()), TParamsLoad::Refused) << "a folder cannot be read";
}

// What the program writes, it reads: the station may report 8 or 9 in a flag digit, and the
// saved word comes back as it was; a box never writes anything but a digit.
TEST_F(ParamSetTest, EveryDigitTheStationSendsComesBackFromTheFileAndABoxWritesDigits) {
    ConfigWord = "98911111";
    SaveParamsFile(Path());
    SetStartupDefaults();
    QString reason;
    EXPECT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Loaded) << reason.toStdString();
    EXPECT_EQ(ConfigWord, "98911111");
    SetStartupDefaults();

    const struct {
        const char* text;
        const char* reason;
    } refused[] = {
        {"0:111111\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n", "строка 1"},
        {"0111111A\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n", "строка 1"},
        {"01111111\r\n\r\n\r\n1\r\n1\r\n300\r\n1\r\n", "строка 6"},
        {"01111111\r\n\r\n\r\n1\r\nx\r\n1\r\n1\r\n", "строка 5"},
        {"01111111\r\n\r\n", "строк"},
    };
    for (const auto& r : refused) {
        Write(r.text);
        QString reason;
        EXPECT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Refused) << r.text;
        EXPECT_TRUE(reason.contains(r.reason)) << reason.toStdString();
        EXPECT_EQ(ConfigWord, "01111111");
    }
    Write("08971119\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n");
    EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Loaded) << "8 and 9 are digits in any place";
    EXPECT_EQ(ConfigWord, "08971119");

    // A word from the station may hold 8 or 9 in a flag digit: a box keeps it a digit.
    ConfigWord = "08911111";
    EXPECT_FALSE(ConfigFlag(ConfigWord, 2, 2));
    EXPECT_NO_THROW(SetConfigFlag(2, 2, false));
    EXPECT_EQ(ConfigWord, "08911111") << "clearing a clear flag changes nothing";
    SetConfigFlag(2, 2, true);
    SetConfigFlag(3, 4, true);
    EXPECT_EQ(ConfigWord, "02511111");
    EXPECT_TRUE(ConfigFlag(ConfigWord, 2, 2));
    EXPECT_TRUE(ConfigFlag(ConfigWord, 3, 1)) << "9 kept its flag of value 1";
    EXPECT_FALSE(ConfigFlag(ConfigWord, 3, 2));
    ConfigWord = "0:111111";
    SetConfigFlag(2, 1, true);
    EXPECT_EQ(ConfigWord, "01111111") << "a character that is no digit counts as 0";
}

TEST_F(ParamSetTest, AFileThatIsNoRegularFileIsRefusedAtOnceWithItsReason) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path()).constData(), 0600), 0);
    QString reason;
    EXPECT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Refused) << "returns without a writer";
    EXPECT_EQ(reason, "это не обычный файл");
    QFile::remove(Path());
    Write("01111111\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\n");
    QFile::setPermissions(Path(), QFileDevice::WriteOwner);
    if (::access(QFile::encodeName(Path()).constData(), R_OK) != 0) { // root reads anything
        EXPECT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Refused);
        EXPECT_EQ(reason, "нет прав на чтение");
    }
}

TEST_F(ParamSetTest, ASaveRemovesTheTemporaryFileOfAnInterruptedOne) {
    // What a save killed before its rename leaves: the temporary file of a process gone.
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString stale = Path() + QStringLiteral(".%1.tmp").arg(gone);
    const QString running = Path() + QStringLiteral(".%1.tmp").arg(::getppid()); // a live process
    for (const QString& name : {stale, running, Path() + ".notes.tmp"}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    SaveParamsFile(Path());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files),
              (QStringList{"params.txt", QFileInfo(running).fileName(), "params.txt.notes.tmp"}))
        << "only the left-over of a finished process goes";
}

TEST_F(ParamSetTest, AFailedSaveLeavesTheOldFileWhole) {
    Write("old");
    const QString missing = dir_.filePath("no/such/params.txt");
    try {
        SaveParamsFile(missing);
        FAIL() << "saved into a missing folder";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Не удаётся записать файл «params.txt»: папка не найдена.");
    }
    QDir(dir_.path()).mkdir("sub");
    QDir(dir_.path()).mkdir("sub/params.txt");
    EXPECT_THROW(SaveParamsFile(dir_.filePath("sub/params.txt")), EFileError);
    EXPECT_EQ(QDir(dir_.filePath("sub")).entryList(QDir::Files), QStringList()) << "no temporary left";

    WriteFileReplacing(Path(), "new");
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "new");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"params.txt"});
    EXPECT_TRUE(f.permissions() & QFileDevice::ReadOther) << "not left private to its owner";
    EXPECT_EQ(SystemErrorText(ENOSPC), "нет места на диске");
}

} // namespace
