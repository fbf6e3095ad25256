#pragma once
// A fresh start of the program in a temporary folder: empty current folder, own config
// folder, a fake sysfs tree and /dev folder, dialogs answered by a recorder.

#include "platform/Dialogs.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TAppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Starts the program's windows (creation handler included) and shows the main window.
    void Start(bool show = true);
    /// Adds a tty to the fake sysfs tree bound to the given driver (no driver: unbound).
    void AddTty(const QString& name, const QString& driver);
    /// Points $VESK_DEV_DIR/<name> at a path (a pseudo-terminal's slave).
    void LinkDevice(const QString& name, const QString& target);
    QString ReadFile(const QString& relativePath) const;

    QTemporaryDir root_;
    QString work_, sys_, dev_, config_, oldCwd_;
    QList<TDialogRecord> dialogs_;
    int dialogAnswer_ = mrOk;
};
