// The parameter set without a window: frame builders, "params.txt" and the helpers of
// the service word.
#include "params/ParamSet.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "runs/TestState.h"
#include "support/TestUtil.h"

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
    EXPECT_EQ(ConfigDigit(ConfigWord, 1), 0) << "0 is a digit too";
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
    MvChannels[4] = {"099", "909"};
    PshSettings[0] = {255, true};
    PshSettings[1] = {0, false};
    SaveParamsFile(Path());
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved =
        "21234569\r\n15 05 20 07 \r\n111 555 222 666 333 777 099 909 \r\n255\r\n0\r\n0\r\n1\r\n";
    EXPECT_EQ(f.readAll(), saved);

    SetStartupDefaults();
    PshSettings[0] = PshSettings[1] = TPshSetting{};
    Thresholds[0] = "33";
    ASSERT_EQ(LoadParamsFile(Path()), TParamsLoad::Loaded);
    EXPECT_EQ(ConfigWord, "21234569");
    EXPECT_EQ(Thresholds[0], "33") << "not in the file";
    EXPECT_EQ(Thresholds[1] + Thresholds[2] + Thresholds[4] + Thresholds[5], "15200507");
    EXPECT_EQ(MvChannels[4].Prm + MvChannels[4].Prd, "099909");
    EXPECT_EQ(MvChannels[2].Prm, "222");
    EXPECT_EQ(PshSettings[0].Level, 255);
    EXPECT_TRUE(PshSettings[0].Off);
    EXPECT_EQ(PshSettings[1].Level, 0);
    EXPECT_FALSE(PshSettings[1].Off);
    EXPECT_EQ(ParamsFileText(), saved) << "read and written again, the file is the same";
}

// The seven lines of a file as "Сохранить" writes them, none of them the start-up values,
// so that a file taken even in part shows.
const QByteArray SavedLines[7] = {
    "02111111", "15 25 35 45 ", "101 102 103 104 105 106 107 108 ", "200", "0", "100", "0"};

// That file with the given lines (numbered 1-7) replaced.
QByteArray FileWith(std::initializer_list<std::pair<int, QByteArray>> lines) {
    QByteArray text;
    for (int i = 0; i < 7; ++i) {
        QByteArray line = SavedLines[i];
        for (const auto& [n, replacement] : lines)
            if (n == i + 1)
                line = replacement;
        text += line + "\r\n";
    }
    return text;
}
QByteArray FileWith(int n, const QByteArray& line) {
    return FileWith({{n, line}});
}

// The shared set still holds the start-up values.
void ExpectStartUpSet(const std::string& what) {
    EXPECT_EQ(ConfigWord, "01111111") << what;
    EXPECT_EQ(Thresholds[1] + Thresholds[4] + Thresholds[2] + Thresholds[5], "00000000") << what;
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_EQ(MvChannels[slot].Prm + MvChannels[slot].Prd, "000000") << what;
    EXPECT_EQ(PshSettings[0].Level, 127) << what;
    EXPECT_FALSE(PshSettings[0].Off) << what;
    EXPECT_EQ(PshSettings[1].Level, 127) << what;
}

// Only what "Сохранить" could have written is taken, and a refusal names the line and
// leaves the whole set as it was.
TEST_F(ParamSetTest, ALineTheSaveNeverWritesIsRefusedByNumberAndChangesNothing) {
    const struct {
        QByteArray text;
        const char* reason;
    } refused[] = {
        {FileWith(1, "0111111"), "строка 1:"},
        {FileWith(1, "0111111A"), "строка 1:"},
        {FileWith(1, "0:111111"), "строка 1:"},
        {FileWith(1, " 01111111"), "строка 1:"},
        {FileWith(1, "0111111\xD0"), "строка 1:"},
        {FileWith(2, "1a 25 35 45 "), "строка 2:"},
        {FileWith(2, "-1 25 35 45 "), "строка 2:"},
        {FileWith(2, "+1 25 35 45 "), "строка 2:"},
        {FileWith(2, "\xFF\xFE 25 35 45 "), "строка 2:"},
        {FileWith(2, "1,5 25 35 45 "), "строка 2:"},
        {FileWith(2, "15"), "строка 2:"},
        {FileWith(2, ""), "строка 2:"},
        {FileWith(2, "15 25 35 45"), "строка 2:"},
        {FileWith(2, "15 25 35 45 x"), "строка 2:"},
        {FileWith(2, "15 25 35 45 55 "), "строка 2:"},
        {FileWith(2, "15\t25 35 45 "), "строка 2:"},
        {FileWith(2, "1  25 35 45 "), "строка 2:"},
        {FileWith(3, "0a1 102 103 104 105 106 107 108 "), "строка 3:"},
        {FileWith(3, "101 102 103 104 105 106 abc xyz "), "строка 3:"},
        {FileWith(3, "-01 102 103 104 105 106 107 108 "), "строка 3:"},
        {FileWith(3, "123 4"), "строка 3:"},
        {FileWith(3, ""), "строка 3:"},
        {FileWith(3, "101 102 103 104 105 106 107 10 "), "строка 3:"},
        {FileWith(3, "101 102 103 104 105 106 107 108 109 "), "строка 3:"},
        {FileWith(3, "101 102 103 104 105 106 107 108 junk"), "строка 3:"},
        {FileWith(3, "101 102 103 104 105 106 107 1\xC3\xA9 "), "строка 3:"},
        {FileWith(4, "256"), "строка 4:"},
        {FileWith(4, "abc"), "строка 4:"},
        {FileWith(4, "12x"), "строка 4:"},
        {FileWith(5, "x"), "строка 5:"},
        {FileWith(6, "-1"), "строка 6:"},
        {FileWith(6, "300"), "строка 6:"},
        {FileWith(7, "").chopped(2), "строка 7:"},           // six lines, the last ended
        {FileWith(7, "").chopped(4), "в файле меньше семи"}, // six lines, the last unended
        {"", "в файле меньше семи"},
    };
    for (const auto& r : refused) {
        Write(r.text);
        QString reason;
        const std::string what = r.text.toStdString();
        EXPECT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Refused) << what;
        EXPECT_TRUE(reason.startsWith(QString::fromUtf8(r.reason))) << what << " -> " << reason.toStdString();
        ExpectStartUpSet(what);
    }
    Write(FileWith(1, "01111111") + QByteArray(70 * 1024, '\n'));
    EXPECT_EQ(LoadParamsFile(Path()), TParamsLoad::Refused) << "no file of that size is ours";
    EXPECT_EQ(LoadParamsFile(dir_.filePath("none.txt")), TParamsLoad::NoFile);
    EXPECT_EQ(LoadParamsFile(dir_.path()), TParamsLoad::Refused) << "a folder cannot be read";
}

// Besides what the save writes, a line may end in LF alone, an integer line may have
// blanks round it, and any integer but 0 switches the squelch on.
TEST_F(ParamSetTest, IntegerLinesAndLineEndsAreTakenAsTheyStand) {
    const struct {
        QByteArray text;
        const char* word;
        bool gmvOff, mvOff;
    } taken[] = {
        {FileWith({}).replace("\r\n", "\n"), "02111111", true, true},
        {FileWith({{4, " 1 "}, {5, "7"}, {7, " 0"}}), "02111111", false, true},
        {FileWith({{5, "0 "}, {7, "-2"}}), "02111111", true, false},
        {FileWith(1, "08971119"), "08971119", true, true},
    };
    for (const auto& t : taken) {
        SetStartupDefaults();
        Write(t.text);
        QString reason;
        const std::string what = t.text.toStdString();
        ASSERT_EQ(LoadParamsFile(Path(), &reason), TParamsLoad::Loaded) << what << reason.toStdString();
        EXPECT_EQ(ConfigWord, t.word) << what;
        EXPECT_EQ(PshSettings[0].Off, t.gmvOff) << what;
        EXPECT_EQ(PshSettings[1].Off, t.mvOff) << what;
        EXPECT_EQ(Thresholds[4] + MvChannels[4].Prd, "25108") << what;
    }
}

// A box never writes anything but a digit, even over an 8 or 9 the station reported.
TEST_F(ParamSetTest, ABoxKeepsAFlagDigitADigit) {
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
