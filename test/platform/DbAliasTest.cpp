#include "platform/DbAlias.h"
#include "EnvGuard.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DbAliasTest : public ::testing::Test {
protected:
    QByteArray FileText() const {
        QFile f(AliasConfigPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void WriteFile(const QByteArray& text) {
        ASSERT_TRUE(QDir().mkpath(config_.path() + "/vesk"));
        QFile f(AliasConfigPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QTemporaryDir config_;
    TEnvGuard env_{"XDG_CONFIG_HOME", config_.path().toUtf8()};
};

} // namespace

TEST_F(DbAliasTest, CreatesAndRewritesKeepingOtherAliases) {
    EXPECT_EQ(AliasConfigPath(), config_.path() + "/vesk/aliases.ini");
    EXPECT_FALSE(AliasExists("dbVesk"));
    EXPECT_TRUE(AliasPath("dbVesk").isEmpty());

    SetAlias("dbVesk", "PARADOX", "/opt/Веск 4/");
    EXPECT_EQ(FileText(), "[dbVesk]\nDRIVER=PARADOX\nPATH=/opt/Веск 4/\n");
    EXPECT_TRUE(AliasExists("DBVesk")); // alias names ignore letter case
    EXPECT_EQ(AliasPath("DBVesk"), "/opt/Веск 4/");

    WriteFile("; kept by hand\n[other]\nDRIVER=STANDARD\nPATH=/srv/other/\n\n"
              "[DBVESK]\nDRIVER=PARADOX\nPATH=/old/\nEXTRA=1\n\n[dbvesk]\nPATH=/shadow/\n");
    SetAlias("dbVesk", "PARADOX", "/new/");
    EXPECT_EQ(FileText(), "; kept by hand\n[other]\nDRIVER=STANDARD\nPATH=/srv/other/\n\n"
                          "[dbVesk]\nDRIVER=PARADOX\nPATH=/new/\n\n");
    EXPECT_EQ(AliasPath("other"), "/srv/other/");
    EXPECT_EQ(AliasPath("dbVesk"), "/new/");
}

TEST_F(DbAliasTest, ToleratesOddFilesButRejectsBadPaths) {
    WriteFile(
        "garbage line\r\n[a]\r\n  path = /with/crlf/  \r\n[b]\nPATH=relative/dir/\n[c]\nDRIVER=PARADOX\n"
        "[d]\nPATH=\n");
    EXPECT_EQ(AliasPath("a"), "/with/crlf/");
    for (const char* alias : {"b", "c", "d"}) {
        EXPECT_TRUE(AliasExists(alias)) << alias;
        EXPECT_TRUE(AliasPath(alias).isEmpty()) << alias;
    }
    EXPECT_FALSE(AliasExists("e"));
}

TEST_F(DbAliasTest, UnwritableConfigFolderRaises) {
    QFile blocker(config_.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TEnvGuard env("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
    try {
        SetAlias("dbVesk", "PARADOX", "/opt/vesk/");
        FAIL() << "no error raised";
    } catch (const EVeskError& e) {
        EXPECT_TRUE(e.Message().startsWith("Не удалось сохранить настройки псевдонима базы данных: "))
            << e.Message().toStdString();
    }
    EXPECT_THROW(SetAlias("bad\nname", "PARADOX", "/x/"), EVeskError);
}
