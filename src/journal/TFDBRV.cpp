#include "journal/TFDBRV.h"

#include "journal/Attenuation.h"
#include "journal/EditableGrid.h"
#include "journal/TQRRV.h"
#include "journal/report/ReportPreview.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TFDBRV* FDBRV = nullptr;

/// The grid's view of the corrections: editable, every column centred.
class TAttenuationModel : public QAbstractTableModel {
public:
    TAttenuationModel(TAttenuationEdit* t, TEditableGrid* grid, QObject* parent)
        : QAbstractTableModel(parent), t_(t), grid_(grid) {
        connect(t_, &TAttenuationEdit::RowsChanged, this, [this] {
            beginResetModel();
            endResetModel();
        });
        connect(t_, &TAttenuationEdit::RowChanged, this,
                [this](int row) { emit dataChanged(index(row, 0), index(row, 2)); });
    }
    int rowCount(const QModelIndex& = {}) const override { return t_->RowCount(); }
    int columnCount(const QModelIndex& = {}) const override { return 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        return t_->Row(index.row()).value(index.column());
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        return role == Qt::EditRole && grid_->SetCell(index.row(), index.column(), value.toString());
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        static const char* const titles[3] = {" Локомотив ", "Коррекция ослабления МВ",
                                              "Коррекция ослабления ГМВ"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
            return QString::fromUtf8(titles[section]);
        return QAbstractTableModel::headerData(section, o, role);
    }

private:
    TAttenuationEdit* t_;
    TEditableGrid* grid_;
};

TFDBRV::TFDBRV(QWidget* parent) : QDialog(parent) {
    setObjectName("FDBRV");
    setWindowTitle("Данные о локомотивных РС");
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);

    Table1 = new TAttenuationEdit(this);
    Table1->setObjectName("Table1");
    grid_ =
        new TEditableGrid(std::make_unique<TRowsOf<TAttenuationEdit>>(Table1), this, "Delete record?", true);
    DBNavigator1 = grid_->NewNavigator();
    BitBtn1 = new QToolButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setIcon(QIcon::fromTheme("document-print", ReportIcon()));
    BitBtn1->setToolTip("Отчет");
    connect(BitBtn1, &QToolButton::clicked, this, &TFDBRV::BitBtn1Click);

    model_ = new TAttenuationModel(Table1, grid_, this);
    model_->setObjectName("DataSource1");
    DBGrid1 = new TGridView(grid_, this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(model_);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    const QFontMetrics header = DBGrid1->horizontalHeader()->fontMetrics();
    DBGrid1->setColumnWidth(
        0, std::max(
               DBGrid1->fontMetrics().horizontalAdvance(QString(15, u'0')),
               header.horizontalAdvance(model_->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString())) +
               24);
    for (int c = 1; c < 3; ++c)
        DBGrid1->setColumnWidth(
            c,
            header.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 24);
    grid_->SetGrid(DBGrid1);
    connect(Table1, &TAttenuationEdit::CurrentChanged, grid_, &TEditableGrid::SyncGridRow);

    auto* top = new QHBoxLayout;
    top->addWidget(DBNavigator1);
    top->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBGrid1, 1);
    int width = DBGrid1->verticalHeader()->sizeHint().width() + 4;
    for (int c = 0; c < 3; ++c)
        width += DBGrid1->columnWidth(c);
    resize(std::max(width + 40, DBNavigator1->sizeHint().width() + 80), 360);

    FormCreate();
}

TFDBRV::~TFDBRV() = default;

void TFDBRV::FormCreate() {
    // An existing file is never replaced; one that does not open stays closed for the run.
    try {
        OpenAttenuationTable();
        Table1->Refresh();
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), parentWidget());
    }
}

void TFDBRV::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    try {
        ReopenAttenuationTable();
        Table1->Refresh();
    } catch (const std::exception& ex) {
        ShowError(ExceptionText(ex), this);
    }
}

void TFDBRV::NavigatorClick(TNavButton b) {
    grid_->NavigatorClick(b);
}

void TFDBRV::BitBtn1Click() {
    try {
        TReportData data;
        data.Columns = {"Lokomotiv", "OslablenieM", "OslablenieG"};
        for (int i = 0; i < Table1->RowCount(); ++i)
            if (!(Table1->State() == TEditState::Insert && i == Table1->CurrentIndex()))
                data.Rows.append(Table1->Row(i));
        delete QRRV; // the last form is kept; an older one has nothing more to show
        QRRV = new TQRRV(this, std::move(data));
        PreviewReport(*QRRV->QuickRep1, this);
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}

bool TFDBRV::FormCloseQuery() {
    return grid_->FormCloseQuery();
}

void TFDBRV::closeEvent(QCloseEvent* e) {
    if (FormCloseQuery())
        e->accept();
    else
        e->ignore();
}

void TFDBRV::reject() {
    // Escape asks like the close button.
    if (FormCloseQuery())
        QDialog::reject();
}
