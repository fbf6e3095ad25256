#include "journal/TfBlockNumRep.h"

#include "journal/BlockNumTable.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "state/Options.h"

TfBlockNumRep* fBlockNumRep = nullptr;

namespace {
// Column positions on the page, in millimetres: Loko, d, t, Block1 .. Block8.
constexpr double lokoX = 0, lokoW = 16;
constexpr double dX = 16, dW = 18;
constexpr double tX = 34, tW = 16;
constexpr double blocksX = 50, blockW = 29;
} // namespace

TfBlockNumRep::TfBlockNumRep(QObject* parent)
    : QObject(parent),
      Query1(JournalFolder(), QString::fromLatin1(BlockNumFileName), TBlockNumTable::Fields()) {
    setObjectName("fBlockNumRep");
    Query1.SQL = {"select * from BlockNum"};
    FormCreate();
}

TfBlockNumRep::~TfBlockNumRep() {
    if (fBlockNumRep == this)
        fBlockNumRep = nullptr;
}

void TfBlockNumRep::FormCreate() {
    QuickRep1 = std::make_unique<TReport>();
    TReport& r = *QuickRep1;
    r.Title = "Сведения о заводских номерах";
    r.Font = QFont("Arial", 10);
    r.PrintIfEmpty = true;

    TReportBand* header = r.AddBand(TBandKind::PageHeader, 9);
    qrlInfo = header->AddLabel("Сведения о заводских номерах. Распечатано " + DateTimeToStr(Clock().Now()),
                               QRectF(0, 0, 200, 7));
    qrlInfo->Name = "qrlInfo";

    TReportBand* title = r.AddBand(TBandKind::Title, 11);
    QFont captionFont("Arial", 8);
    captionFont.setBold(true);
    title->Font = captionFont;
    title->AddLabel("Локомотив", QRectF(lokoX, 0, lokoW, 5));
    title->AddLabel("Дата", QRectF(dX, 0, dW, 5));
    title->AddLabel(" внесения", QRectF(dX, 5, dW, 5));
    title->AddLabel("Время", QRectF(tX, 0, tW, 5));
    title->AddLabel(" внесения", QRectF(tX, 5, tW, 5));
    for (int i = 0; i < 8; ++i)
        title->AddLabel(QString("Блок%1").arg(i + 1), QRectF(blocksX + i * blockW, 0, blockW, 5));

    TReportBand* detail = r.AddBand(TBandKind::Detail, 4.5);
    detail->Font = QFont("Arial", 8);
    detail->AddField("Loko", QRectF(lokoX, 0, lokoW, 4.5));
    detail->AddField("d", QRectF(dX, 0, dW, 4.5));
    detail->AddField("t", QRectF(tX, 0, tW, 4.5));
    for (int i = 0; i < 8; ++i)
        detail->AddField(QString("Block%1").arg(i + 1), QRectF(blocksX + i * blockW, 0, blockW, 4.5));
}

void TfBlockNumRep::Preview(QWidget* parent) {
    QuickRep1->Data = Query1.Data();
    PreviewReport(*QuickRep1, parent);
    // The form stays; its rows go with the preview.
    Query1.Close();
}
