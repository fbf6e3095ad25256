#include "journal/TfBlockNum.h"

#include "journal/EditableGrid.h"
#include "journal/TfBlockNumRep.h"
#include "platform/DateFormat.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/Options.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

TfBlockNum* fBlockNum = nullptr;

/// The grid's view of the data set: the grid's columns, the calculated source caption.
/// It follows the data set only while the window is shown: a hidden window reads no rows.
class TBlockNumModel : public QAbstractTableModel {
public:
    TBlockNumModel(TBlockNumTable* t, TEditableGrid* grid, QObject* parent)
        : QAbstractTableModel(parent), t_(t), grid_(grid) {}

    void SetLive(bool live) {
        if (live == live_)
            return;
        beginResetModel();
        live_ = live;
        if (live) {
            connections_ = {connect(t_, &TBlockNumTable::RowsChanged, this,
                                    [this] {
                                        beginResetModel();
                                        endResetModel();
                                    }),
                            connect(t_, &TBlockNumTable::RowChanged, this, [this](int row) {
                                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
                            })};
        } else {
            for (const QMetaObject::Connection& c : connections_)
                disconnect(c);
            connections_.clear();
        }
        endResetModel();
    }
    int rowCount(const QModelIndex& = {}) const override { return live_ ? t_->RowCount() : 0; }
    int columnCount(const QModelIndex& = {}) const override { return int(TfBlockNum::GridColumns().size()); }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        const int column = TfBlockNum::GridColumns().value(index.column(), -1);
        const TRow row = t_->Row(index.row());
        if (column < 0)
            return TBlockNumTable::KindCapt(row.value(bnKind));
        const QVariant v = row.value(column);
        if (role == Qt::DisplayRole && v.typeId() == QMetaType::QDate)
            return DateToStr(v.toDate());
        if (role == Qt::DisplayRole && v.typeId() == QMetaType::QTime)
            return TimeToStr(v.toTime());
        if (role == Qt::EditRole && (column == bnD || column == bnLastD) && !v.isValid())
            return QString();
        return v;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        const int column = TfBlockNum::GridColumns().value(index.column(), -1);
        if (role != Qt::EditRole || column < 0)
            return false;
        QVariant v = value;
        if ((column == bnD || column == bnLastD) && v.typeId() == QMetaType::QString &&
            !v.toString().isEmpty()) {
            QDate d = ProgramLocale().toDate(v.toString(), ShortDateFormat());
            if (!d.isValid())
                d = QDate::fromString(v.toString(), "dd.MM.yyyy");
            v = d.isValid() ? QVariant(d) : QVariant(QDate::fromString(v.toString(), Qt::ISODate));
        }
        if ((column == bnT || column == bnLastT) && v.typeId() == QMetaType::QString &&
            !v.toString().isEmpty())
            v = QTime::fromString(v.toString(), v.toString().size() > 5 ? "hh:mm:ss" : "hh:mm");
        return grid_->SetCell(index.row(), column, v);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (TfBlockNum::GridColumns().value(index.column(), -1) >= 0)
            f |= Qt::ItemIsEditable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return TfBlockNum::GridTitle(section);
        return QAbstractTableModel::headerData(section, o, role);
    }

private:
    TBlockNumTable* t_;
    TEditableGrid* grid_;
    bool live_ = false;
    QList<QMetaObject::Connection> connections_;
};

namespace {
// Starting to edit a cell puts the row into edit state, past the edit guard.
class TGuardDelegate : public QStyledItemDelegate {
public:
    TGuardDelegate(TEditableGrid* grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!grid_->StartCellEdit(index.row()))
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

private:
    TEditableGrid* grid_;
};
} // namespace

const QList<int>& TfBlockNum::GridColumns() {
    static const QList<int> columns{
        bnLoko,       bnLastD,      bnLastT,      bnBlock1,     bnBlock1 + 1, bnBlock1 + 2, bnBlock1 + 3,
        bnBlock1 + 4, bnBlock1 + 5, bnBlock1 + 6, bnBlock1 + 7, bnD,          bnT,          -1};
    return columns;
}

QString TfBlockNum::GridTitle(int gridColumn) {
    const int c = GridColumns().value(gridColumn, -2);
    return c >= 0 ? BlockNumColumnTitle(c) : c == -1 ? QStringLiteral("Источник") : QString();
}

TfBlockNum::TfBlockNum(QWidget* parent) : QDialog(parent) {
    setObjectName("fBlockNum");
    setWindowTitle("Заводские номера блоков");
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    resize(900, 480);

    tblBlockNum = new TBlockNumTable(JournalFolder(), this);
    tblBlockNum->setObjectName("tblBlockNum");

    grid_ = new TEditableGrid(std::make_unique<TRowsOf<TBlockNumTable>>(tblBlockNum), this, "Удалить запись?",
                              false);
    DBNavigator1 = grid_->NewNavigator();

    model_ = new TBlockNumModel(tblBlockNum, grid_, this);
    model_->setObjectName("DataSource1"); // the grid's data source
    DBGrid1 = new TGridView(grid_, this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(model_);
    DBGrid1->setItemDelegate(new TGuardDelegate(grid_, this));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(std::max(20, DBGrid1->fontMetrics().height() + 6));
    sizeColumns();
    grid_->SetGrid(DBGrid1);
    connect(tblBlockNum, &TBlockNumTable::StateChanged, this, &TfBlockNum::DataSource1StateChange);

    GroupBox1 = new QGroupBox("Параметры печати", this);
    GroupBox1->setObjectName("GroupBox1");
    cbIncludeRecords = new QComboBox(GroupBox1);
    cbIncludeRecords->setObjectName("cbIncludeRecords");
    cbIncludeRecords->addItems(
        {"Выводить только текущие номера для каждого локомотива", "Выводить все номера "});
    bPrint = new QPushButton("Печать", GroupBox1);
    bPrint->setObjectName("bPrint");
    auto* printLayout = new QVBoxLayout(GroupBox1);
    printLayout->addWidget(cbIncludeRecords);
    printLayout->addWidget(bPrint, 0, Qt::AlignLeft);
    connect(bPrint, &QPushButton::clicked, this, &TfBlockNum::bPrintClick);

    Label1 = new QLabel("Показать поля:", this);
    Label1->setObjectName("Label1");
    clbViewFields = new QListWidget(this);
    clbViewFields->setObjectName("clbViewFields");
    clbViewFields->setFlow(QListView::TopToBottom);
    clbViewFields->setWrapping(true);
    clbViewFields->setResizeMode(QListView::Adjust);
    clbViewFields->setMaximumHeight(150);
    connect(clbViewFields, &QListWidget::itemChanged, this, [this] { clbViewFieldsClickCheck(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(GroupBox1, 1);
    auto* fieldsBox = new QVBoxLayout;
    fieldsBox->addWidget(Label1);
    fieldsBox->addWidget(clbViewFields);
    bottom->addLayout(fieldsBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBNavigator1);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bottom);

    FormCreate();
}

// Each column as wide as its title and its widest possible value in the font in use, so
// that the 16-digit blocks and the titles read whole without widening by hand.
void TfBlockNum::sizeColumns() {
    const QFontMetricsF cell(DBGrid1->font());
    // The header shows the current column's title in bold.
    QFont bold = DBGrid1->horizontalHeader()->font();
    bold.setBold(true);
    const QFontMetricsF header(bold);
    const int cellMargin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, DBGrid1) + 1) + 1;
    const int headerMargin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, DBGrid1) + 2;
    const QList<TFieldDef> fields = TBlockNumTable::Fields();
    const auto widest = [&](const QStringList& texts) {
        qreal w = 0;
        for (const QString& t : texts)
            w = std::max(w, cell.horizontalAdvance(t));
        return w;
    };
    const QDate date(2088, 12, 28);
    const QTime time(20, 58, 58);
    for (int i = 0; i < GridColumns().size(); ++i) {
        const int column = GridColumns()[i];
        QStringList samples;
        if (column < 0) {
            samples = {TBlockNumTable::KindCapt(KindByHand), TBlockNumTable::KindCapt(KindFromDevice)};
        } else if (column == bnD || column == bnLastD) {
            samples = {DateToStr(date)};
        } else if (column == bnT || column == bnLastT) {
            samples = {TimeToStr(time)};
        } else if (column < fields.size()) {
            for (const char digit : {'0', '4', '8'})
                samples << QString(fields[column].Size, QChar(digit));
        }
        const int need = std::max(int(std::ceil(widest(samples))) + cellMargin,
                                  int(std::ceil(header.horizontalAdvance(GridTitle(i)))) + headerMargin);
        DBGrid1->setColumnWidth(i, need);
    }
    // The window opens as wide as the grid wants, as far as the screen allows.
    int wanted = DBGrid1->verticalHeader()->sizeHint().width() + 2 * DBGrid1->frameWidth() +
                 style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * 11;
    for (int i = 0; i < GridColumns().size(); ++i)
        wanted += DBGrid1->columnWidth(i);
    const QScreen* s = screen();
    const int room = s ? s->availableGeometry().width() - 40 : 900;
    resize(std::clamp(wanted, 900, std::max(900, room)), height());
}

TfBlockNum::~TfBlockNum() {
    if (BlockNumTable() == tblBlockNum)
        SetBlockNumTable(nullptr);
}

QToolButton* TfBlockNum::NavigatorButton(TNavButton b) const {
    return static_cast<TDBNavigator*>(DBNavigator1)->Button(b);
}

void TfBlockNum::FormCreate() {
    SetBlockNumTable(tblBlockNum);
    try {
        tblBlockNum->Open();
    } catch (const std::exception& e) {
        // Start-up goes on; every later import reports the closed table.
        ShowError(ExceptionText(e), this);
    }
    cbIncludeRecords->setCurrentIndex(0);
    const QSignalBlocker block(clbViewFields);
    clbViewFields->clear();
    for (int i = 0; i < GridColumns().size(); ++i) {
        auto* item = new QListWidgetItem(GridTitle(i), clbViewFields);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(DBGrid1->isColumnHidden(i) ? Qt::Unchecked : Qt::Checked);
    }
    DataSource1StateChange();
}

void TfBlockNum::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    followTable(true);
}

void TfBlockNum::hideEvent(QHideEvent* e) {
    followTable(false);
    QDialog::hideEvent(e);
}

void TfBlockNum::followTable(bool on) {
    if (on == following_)
        return;
    following_ = on;
    if (on) {
        model_->SetLive(true);
        current_ = connect(tblBlockNum, &TBlockNumTable::CurrentChanged, grid_, &TEditableGrid::SyncGridRow);
        grid_->SyncGridRow();
    } else {
        disconnect(current_);
        model_->SetLive(false);
    }
}

void TfBlockNum::DataSource1StateChange() {
    const TDataState s = tblBlockNum->State();
    bPrint->setEnabled(s != TDataState::Edit && s != TDataState::Insert);
}

void TfBlockNum::clbViewFieldsClickCheck() {
    for (int i = 0; i < clbViewFields->count(); ++i)
        DBGrid1->setColumnHidden(i, clbViewFields->item(i)->checkState() != Qt::Checked);
}

void TfBlockNum::NavigatorClick(TNavButton b) {
    grid_->NavigatorClick(b);
}

bool TfBlockNum::FormCloseQuery() {
    raise();
    activateWindow();
    // The question and an error after it take the activation: that is no leaving.
    const QScopedValueRollback<bool> asking(asking_, true);
    return grid_->FormCloseQuery();
}

void TfBlockNum::closeEvent(QCloseEvent* e) {
    if (FormCloseQuery())
        e->accept();
    else
        e->ignore();
}

void TfBlockNum::FormDeactivate() {
    const TDataState s = tblBlockNum->State();
    // A dialog over the window (an error, a question) is not the operator leaving it. The
    // window system may tell of the activation before the box counts as modal: a window
    // owned by this one is such a box.
    for (const QWidget* w = QApplication::activeWindow(); w; w = w->parentWidget())
        if (w == this)
            return;
    if (asking_ || QApplication::activeModalWidget() || (s != TDataState::Edit && s != TDataState::Insert))
        return;
    const TDataState before = s;
    FormCloseQuery();
    // Cancel (or a failed post) leaves the edit pending: the window comes back to the front.
    if (tblBlockNum->State() == before) {
        raise();
        activateWindow();
    }
}

void TfBlockNum::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        FormDeactivate();
}

void TfBlockNum::bPrintClick() {
    try {
        auto* report = new TfBlockNumRep(qApp);
        report->Query1.SQL.clear();
        report->Query1.SQL = BlockNumPrintQuery(cbIncludeRecords->currentIndex());
        report->Query1.Open();
        report->Preview(this);
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}
