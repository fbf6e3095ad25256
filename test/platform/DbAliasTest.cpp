#include "platform/DbAlias.h"
#include "EnvGuard.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

bool HasLatinWord(const QString& s) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    // The file's own name is the only Latin the operator should read.
    QString rest = s;
    rest.remove(QRegularExpression(QStringLiteral("aliases\\.ini(\\.bad)?")));
    return word.match(rest).hasMatch();
}

} // namespace

// A link in the place of the file is replaced, never written through; what was no alias
// (the lines of another file, binary garbage) is kept aside and the operator is told.
TEST_F(DbAliasTest, LinkOrGarbageIsReplacedAndTheOldFileKeptAside) {
    const QString target = config_.path() + "/passwd";
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("root:x:0:0:root:/root:/bin/bash\n");
    }
    ASSERT_TRUE(QDir().mkpath(config_.path() + "/vesk"));
    ASSERT_TRUE(QFile::link(target, AliasConfigPath()));
    const QString note = SetAlias("dbVesk", "PARADOX", "/opt/vesk/");
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "root:x:0:0:root:/root:/bin/bash\n") << "the link's target is untouched";
    EXPECT_FALSE(QFileInfo(AliasConfigPath()).isSymLink());
    EXPECT_EQ(FileText(), "[dbVesk]\nDRIVER=PARADOX\nPATH=/opt/vesk/\n");
    EXPECT_TRUE(note.contains("aliases.ini.bad")) << note.toStdString();
    EXPECT_TRUE(note.startsWith("В файле псевдонимов ")) << note.toStdString();
    EXPECT_TRUE(QFileInfo(AliasConfigPath() + ".bad").isSymLink()) << "the link itself is what was kept";

    // Binary garbage between two aliases: the aliases stay, the garbage is not turned into
    // replacement characters but kept, byte for byte, in the file aside.
    QByteArray garbage("[other]\nPATH=/srv/other/\n");
    for (int i = 0; i < 600; ++i)
        garbage.append(char(0x80 + i % 100)).append(char(i % 7 == 0 ? '\n' : 0x01));
    garbage.append("\nDRIVER=\x7f\n=no key\n[dbVesk]\nPATH=/old/\n");
    WriteFile(garbage);
    EXPECT_FALSE(SetAlias("dbVesk", "PARADOX", "/new/").isEmpty());
    EXPECT_EQ(FileText(), "[other]\nPATH=/srv/other/\n[dbVesk]\nDRIVER=PARADOX\nPATH=/new/\n");
    QFile aside(AliasConfigPath() + ".bad");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), garbage);

    // A clean file tells nothing.
    EXPECT_TRUE(SetAlias("dbVesk", "PARADOX", "/newer/").isEmpty());
    EXPECT_EQ(AliasPath("other"), "/srv/other/");
}

// A file that cannot be read is never overwritten (the other aliases in it would be lost):
// the reason is told in Russian, and nothing waits on a FIFO in the file's place.
TEST_F(DbAliasTest, FileThatCannotBeReadOrWrittenIsToldInRussian) {
    const auto failure = [](const char* what) {
        try {
            SetAlias("dbVesk", "PARADOX", "/opt/vesk/");
        } catch (const EVeskError& e) {
            return e.Message();
        }
        ADD_FAILURE() << what << ": no error raised";
        return QString();
    };
    const QString prefix = "Не удалось сохранить настройки псевдонима базы данных: ";
    ASSERT_TRUE(QDir().mkpath(AliasConfigPath()));
    QString text = failure("a folder");
    EXPECT_TRUE(text == prefix + "не удаётся прочитать файл aliases.ini: на этом месте находится папка")
        << text.toStdString();
    EXPECT_TRUE(QFileInfo(AliasConfigPath()).isDir());
    EXPECT_FALSE(HasLatinWord(text)) << text.toStdString();
    EXPECT_TRUE(AliasPath("dbVesk").isEmpty());

    ASSERT_TRUE(QDir().rmdir(AliasConfigPath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(AliasConfigPath()).constData(), 0600), 0);
    text = failure("a FIFO");
    EXPECT_TRUE(text ==
                prefix + "не удаётся прочитать файл aliases.ini: на этом месте находится не обычный файл")
        << text.toStdString();
    EXPECT_FALSE(AliasExists("dbVesk"));
    ASSERT_TRUE(QFile::remove(AliasConfigPath()));

    // No rights to read, then none to write: root has every right, so the refusal is
    // planted for the file's path.
    WriteFile("[other]\nPATH=/srv/other/\n");
    InjectFileError(AliasConfigPath(), EACCES);
    text = failure("no rights to read");
    EXPECT_EQ(text, prefix + "не удаётся прочитать файл aliases.ini: нет прав на чтение")
        << text.toStdString();
    InjectFileError(AliasConfigPath() + ".*", EACCES);
    text = failure("no rights to write");
    EXPECT_TRUE(text.startsWith(prefix) && text.contains("нет прав на запись")) << text.toStdString();
    InjectFileError({}, 0);
    EXPECT_EQ(FileText(), "[other]\nPATH=/srv/other/\n");
    EXPECT_EQ(QDir(config_.path() + "/vesk").entryList(QDir::Files | QDir::System),
              QStringList{"aliases.ini"});

    if (::geteuid() != 0) { // the same refusal from the file system itself
        QFile(AliasConfigPath()).setPermissions({});
        text = failure("chmod 000");
        EXPECT_EQ(text, prefix + "не удаётся прочитать файл aliases.ini: нет прав на чтение")
            << text.toStdString();
    }
}
