// Factory numbers: the import of a reported set, the edit guard and the print query.
#include "journal/BlockNumTable.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList Blocks(int seed) {
    QStringList b;
    for (int i = 0; i < 8; ++i)
        b.append(QString("%1").arg(seed * 10 + i, 16, 10, QChar('0')));
    return b;
}

class BlockNumTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        clock_.SetNow(QDateTime(QDate(2026, 2, 10), QTime(9, 30, 0)));
        SetClock(&clock_);
        SetDialogHook([this](const TDialogRecord& d, QWidget*) {
            dialogs_.append(d);
            return answers_.isEmpty() ? int(mrOk) : answers_.takeFirst();
        });
        table_ = std::make_unique<TBlockNumTable>(dir_.path() + "/");
        table_->Open();
        SetBlockNumTable(table_.get());
    }
    void TearDown() override {
        SetBlockNumTable(nullptr);
        SetDialogHook(nullptr);
        SetClock(nullptr);
    }
    TRow RowOf(const QString& loko, const QStringList& blocks) {
        TRow key{loko};
        for (const QString& b : blocks)
            key.append(b);
        EXPECT_TRUE(table_->Locate(key));
        return table_->Row(table_->CurrentIndex());
    }
    // A row typed by the operator.
    void TypeRow(const QString& loko, const QStringList& blocks) {
        table_->Append();
        table_->SetValue(bnLoko, loko);
        for (int i = 0; i < 8; ++i)
            table_->SetValue(bnBlock1 + i, blocks[i]);
        table_->Post();
    }

    QTemporaryDir dir_;
    TFakeClock clock_;
    std::unique_ptr<TBlockNumTable> table_;
    QList<TDialogRecord> dialogs_;
    QList<int> answers_;
};

TEST_F(BlockNumTest, SameSetOnlyMovesItsLastReportAndBecomesADeviceRow) {
    TypeRow("1234567", Blocks(1));
    TRow typed = RowOf("1234567", Blocks(1));
    EXPECT_EQ(typed[bnKind].toInt(), KindByHand);
    EXPECT_EQ(TBlockNumTable::KindCapt(typed[bnKind]), "Вручную");
    EXPECT_FALSE(typed[bnLastD].isValid());

    clock_.Advance(3600'000);
    const QDateTime reported = clock_.Now().addSecs(-10);
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, reported, Blocks(1)));
    EXPECT_EQ(table_->RowCount(), 1);
    const TRow r = RowOf("1234567", Blocks(1));
    EXPECT_EQ(r[bnKind].toInt(), KindFromDevice);
    EXPECT_EQ(r[bnLastD].toDate(), clock_.Now().date());
    EXPECT_EQ(r[bnLastT].toTime(), clock_.Now().time());
    EXPECT_EQ(r[bnD], typed[bnD]) << "the moment of entry stays";
    EXPECT_EQ(r[bnT], typed[bnT]);
    EXPECT_FALSE(BlockNumImporting);
}

TEST_F(BlockNumTest, OneDifferentDigitMakesANewRowWithTheReportMoment) {
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(1)));
    QStringList other = Blocks(1);
    other[4][15] = '9';
    const QDateTime when(QDate(2026, 2, 9), QTime(23, 0, 0));
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, when, other));
    EXPECT_EQ(table_->RowCount(), 2);
    const TRow r = RowOf("1234567", other);
    EXPECT_EQ(r[bnD].toDate(), when.date());
    EXPECT_EQ(r[bnT].toTime(), when.time());
    EXPECT_EQ(r[bnLastD].toDate(), clock_.Now().date());
    EXPECT_EQ(r[bnKind].toInt(), KindFromDevice);
    EXPECT_EQ(TBlockNumTable::KindCapt(r[bnKind]), "Автоматически");
}

TEST_F(BlockNumTest, DeviceRowsCannotBeEditedButCanBeDeleted) {
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(2)));
    RowOf("1234567", Blocks(2));
    try {
        table_->Edit();
        FAIL() << "the edit must be refused";
    } catch (const EVeskError& e) {
        EXPECT_EQ(e.Message(), "Пришедшую с устройства информацию менять нельзя");
    }
    EXPECT_EQ(table_->State(), TDataState::Browse);
    EXPECT_THROW(table_->SetValue(bnBlock1, "1"), EVeskError);
    ASSERT_TRUE(SaveBlockNums("1234568", KindFromDevice, clock_.Now(), Blocks(2)));
    RowOf("1234568", Blocks(2));
    table_->Delete(); // the last row: the one before it becomes current
    EXPECT_EQ(table_->CurrentIndex(), 0);
    table_->Delete();
    EXPECT_EQ(table_->RowCount(), 0);
    EXPECT_EQ(table_->CurrentIndex(), -1);
    for (int outside : {-2, 0})
        EXPECT_THROW(table_->SetCurrentIndex(outside), ERangeError) << outside;
    EXPECT_EQ(table_->CurrentIndex(), -1);

    TypeRow("7654321", Blocks(3));
    RowOf("7654321", Blocks(3));
    table_->Edit();
    table_->SetValue(bnBlock1, "1111111111111111");
    table_->Post();
    EXPECT_EQ(table_->Value(bnBlock1).toString(), "1111111111111111");
}

TEST_F(BlockNumTest, DuplicateSetOrMissingLocomotiveIsRefusedInRussian) {
    TypeRow("1234567", Blocks(1));
    table_->Append();
    table_->SetValue(bnLoko, "1234567");
    for (int i = 0; i < 8; ++i)
        table_->SetValue(bnBlock1 + i, Blocks(1)[i]);
    try {
        table_->Post();
        FAIL();
    } catch (const EVeskError& e) {
        EXPECT_TRUE(e.Message().contains("уже есть")) << e.Message().toStdString();
    }
    EXPECT_EQ(table_->State(), TDataState::Insert) << "the row stays for the operator to fix";
    table_->SetValue(bnLoko, QString());
    EXPECT_THROW(table_->Post(), EVeskError);
    table_->Cancel();
    EXPECT_EQ(table_->RowCount(), 1);
}

// A value longer than its column, or a date or time that is none, is refused with the
// column's name: nothing is cut, nothing silently emptied, in an insert or an edit.
TEST_F(BlockNumTest, OverlongValuesAndInvalidDatesAreRefusedNamingTheColumn) {
    const auto refused = [&](int column, const QVariant& value, const QString& title) {
        try {
            table_->SetValue(column, value);
        } catch (const ERangeError& e) {
            EXPECT_TRUE(e.Message().contains("«" + title + "»")) << e.Message().toStdString();
            return true;
        }
        return false;
    };
    table_->Append();
    EXPECT_TRUE(refused(bnLoko, "123456789", "Локомотив"));
    table_->SetValue(bnLoko, "12345678");
    EXPECT_TRUE(refused(bnBlock1 + 2, QString(17, '1'), "Блок3"));
    table_->Post();
    table_->Edit();
    EXPECT_TRUE(refused(bnBlock1, QString(20, '2'), "Блок1"));
    EXPECT_TRUE(refused(bnD, "31.02.2026", "Дата внесения"));
    EXPECT_TRUE(refused(bnD, QDate(2026, 2, 31), "Дата внесения"));
    EXPECT_TRUE(refused(bnT, "25:61", "Время внесения"));
    EXPECT_TRUE(refused(bnLastT, QTime(), "Время перезаписи"));
    table_->SetValue(bnD, "28.02.2026");
    table_->SetValue(bnT, "07:05");
    table_->SetValue(bnBlock1, QString(16, '2'));
    table_->Post();
    const TRow row = table_->Row(table_->CurrentIndex());
    EXPECT_EQ(row[bnLoko].toString(), "12345678");
    EXPECT_EQ(row[bnBlock1].toString(), QString(16, '2'));
    EXPECT_TRUE(row[bnBlock1 + 2].toString().isEmpty());
    EXPECT_EQ(row[bnD].toDate(), QDate(2026, 2, 28));
    EXPECT_EQ(row[bnT].toTime(), QTime(7, 5));
}

// A new row keeps what was typed when the edit command comes again, and a row being
// edited is saved before a new one starts.
TEST_F(BlockNumTest, EditOfANewRowKeepsItAndAppendSavesTheEdit) {
    table_->Append();
    table_->SetValue(bnLoko, "1111111");
    table_->Edit();
    EXPECT_EQ(table_->State(), TDataState::Insert);
    EXPECT_EQ(table_->Value(bnLoko).toString(), "1111111");
    table_->Post();
    table_->Edit();
    table_->SetValue(bnBlock1, "12");
    table_->Append();
    EXPECT_EQ(table_->State(), TDataState::Insert);
    table_->Cancel();
    ASSERT_EQ(table_->RowCount(), 1);
    EXPECT_EQ(table_->Row(0)[bnBlock1].toString(), "12");
}

TEST_F(BlockNumTest, ImportFinishesTheOperatorsEditFirst) {
    TypeRow("1111111", Blocks(1));
    RowOf("1111111", Blocks(1));
    table_->SetValue(bnBlock1 + 7, "5555555555555555");
    answers_ = {mrCancel, mrYes}; // closing the question otherwise asks again
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(2)));
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(dialogs_[0].Text,
              "Получены данные со ВЕСК. Необходимо завершить редактирование строки. Сохранить изменения?");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo);
    QStringList saved = Blocks(1);
    saved[7] = "5555555555555555";
    RowOf("1111111", saved);
    EXPECT_EQ(table_->RowCount(), 2);

    RowOf("1111111", saved);
    table_->SetValue(bnBlock1 + 7, "6666666666666666");
    answers_ = {mrNo};
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(3)));
    RowOf("1111111", saved); // the change was discarded
    EXPECT_EQ(table_->RowCount(), 3);
}

// A table that cannot be opened (a folder in the place of its file, as a full disk leaves
// a table that could not be made) fails the import; it is tried again at the next one.
TEST_F(BlockNumTest, FailedImportIsToldAndTheTableIsTriedAgainAtTheNext) {
    table_->Close();
    const QString file = dir_.path() + "/" + BlockNumFileName;
    ASSERT_TRUE(QFile::rename(file, file + ".away"));
    ASSERT_TRUE(QDir().mkpath(file));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(i)));
    EXPECT_FALSE(BlockNumImporting);
    EXPECT_TRUE(dialogs_.isEmpty()) << "told once the handler is over, never inside it";
    ASSERT_TRUE(PumpUntil([this] { return !dialogs_.isEmpty(); }, 2000));
    PumpUntil([] { return false; }, 150);
    ASSERT_EQ(dialogs_.size(), 1) << "the failures in one dialog";
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error);
    const QString& text = dialogs_[0].Text;
    EXPECT_TRUE(text.startsWith("Ошибка при записи заводских номеров (не записано наборов: 3): "))
        << text.toStdString();
    EXPECT_EQ(text.count("находится папка"), 1) << "one reason named once: " << text.toStdString();

    // The space is back: the next set opens the table and is saved.
    ASSERT_TRUE(QDir(file).removeRecursively());
    ASSERT_TRUE(QFile::rename(file + ".away", file));
    EXPECT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(4)));
    EXPECT_TRUE(table_->Active());
    EXPECT_EQ(table_->RowCount(), 1);

    SetBlockNumTable(nullptr);
    EXPECT_FALSE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(1)));
    ASSERT_TRUE(PumpUntil([this] { return dialogs_.size() == 2; }, 2000));
    EXPECT_EQ(dialogs_[1].Text, "Ошибка при записи заводских номеров: Таблица BlockNum.DB не открыта");
}

TEST_F(BlockNumTest, PrintQueryKeepsTheLatestSetOfEachLocomotiveAndHandRows) {
    for (const char* loko : {"1000001", "2000002"})
        for (int set = 1; set <= 3; ++set) {
            clock_.Advance(60'000);
            ASSERT_TRUE(SaveBlockNums(loko, KindFromDevice, clock_.Now(), Blocks(set)));
        }
    TypeRow("1000001", Blocks(9)); // no LastD: always printed

    TTable t(dir_.path() + "/", BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    t.Open();
    const QList<TRow> current = t.Select(BlockNumPrintQuery(0).join('\n'));
    ASSERT_EQ(current.size(), 3);
    QStringList seen;
    for (const TRow& r : current)
        seen.append(r[bnLoko].toString() + ":" + r[bnBlock1].toString().right(2));
    seen.sort();
    EXPECT_EQ(seen, (QStringList{"1000001:30", "1000001:90", "2000002:30"}));
    EXPECT_EQ(t.Select(BlockNumPrintQuery(1).join('\n')).size(), 7);
}

} // namespace
