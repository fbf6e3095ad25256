// Start-up in an empty folder without the station's adapter, and over what an earlier session left
// (the start with the adapter is in the link end-to-end tests).
#include "app/Application.h"
#include "app/TMainForm.h"
#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "platform/Version.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>

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
    EXPECT_NE(RxLock, nullptr);
    EXPECT_EQ(CurrentChannel, 1);
    EXPECT_FALSE(menuEnabled(MainForm->ITest));
    MainForm->ClearMessageGrid(); // the lock exists: no crash
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
    EXPECT_THROW(ReadOptions(), EFileError);
    QDir::setCurrent(old);
}

} // namespace
