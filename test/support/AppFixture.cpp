#include "support/AppFixture.h"

#include "app/Application.h"
#include "app/TMainForm.h"
#include "platform/Clock.h"
#include "runs/JournalWriters.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QFile>

void TAppFixture::SetUp() {
    ASSERT_TRUE(root_.isValid());
    QDir r(root_.path());
    for (const char* d : {"work", "sys/class/tty", "dev", "config", "prog"})
        r.mkpath(d);
    work_ = r.filePath("work");
    sys_ = r.filePath("sys");
    dev_ = r.filePath("dev");
    config_ = r.filePath("config");
    qputenv("VESK_SYS_DIR", sys_.toUtf8());
    qputenv("VESK_DEV_DIR", dev_.toUtf8());
    qputenv("XDG_CONFIG_HOME", config_.toUtf8());
    qputenv("VESK_PROGRAM_DIR", r.filePath("prog").toUtf8());
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(work_);
    dialogs_.clear();
    // A start has no test running and no result waiting, whatever a test before left.
    RunningTest = 0;
    ClearResultQueue();
    SetDialogHook([this](const TDialogRecord& d, QWidget*) {
        dialogs_.append(d);
        return dialogAnswer_;
    });
}

void TAppFixture::TearDown() {
    DestroyForms();
    TakeUntoldNotices(); // what the test did not wait for is not told in the next one
    SetDialogHook(nullptr);
    SetClock(nullptr);
    QDir::setCurrent(oldCwd_);
}

void TAppFixture::Start(bool show) {
    CreateForms();
    if (show) {
        MainForm->show();
        QCoreApplication::processEvents();
    }
}

void TAppFixture::AddTty(const QString& name, const QString& driver) {
    QDir tty(sys_ + "/class/tty");
    tty.mkpath(name + "/device");
    if (!driver.isEmpty()) {
        QDir(sys_).mkpath("bus/usb-serial/drivers/" + driver);
        QFile::link(sys_ + "/bus/usb-serial/drivers/" + driver, tty.filePath(name + "/device/driver"));
    }
}

void TAppFixture::LinkDevice(const QString& name, const QString& target) {
    QFile::remove(dev_ + "/" + name);
    QFile::link(target, dev_ + "/" + name);
}

QString TAppFixture::ReadFile(const QString& relativePath) const {
    QFile f(QDir(work_).filePath(relativePath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}
