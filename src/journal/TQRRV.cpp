#include "journal/TQRRV.h"

TQRRV* QRRV = nullptr;

namespace {
// Column positions of the framed table, in millimetres.
constexpr double lokoX = 20, lokoW = 40;
constexpr double mvX = 60, mvW = 50;
constexpr double gmvX = 110, gmvW = 50;
} // namespace

TQRRV::TQRRV(QObject* owner, TReportData data) : TReportForm(owner, std::move(data), false) {
    setObjectName("QRRV");
    QuickRep1->Title = "Просмотр отчета о локомотивных РС";
    QRSysData1 = PageNumber;
    QRSysData1->Name = "QRSysData1";
    PrintedAt->Name = "QRLabel1";
    QRLabel1->Text = "Данные о локомотивных РС";

    TReportBand* head = QuickRep1->AddBand(TBandKind::ColumnHeader, 7);
    head->Frame = FrameTop | FrameBottom | FrameLeft | FrameRight;
    head->FrameX = lokoX;
    head->FrameWidth = gmvX + gmvW - lokoX;
    for (TReportLabel* l :
         {Caption(head, "Локомотив", lokoX, 0.5, lokoW, 6), Caption(head, "Ослабление МВ", mvX, 0.5, mvW, 6),
          Caption(head, "Ослабление ГМВ", gmvX, 0.5, gmvW, 6)})
        l->Align = Qt::AlignCenter;

    TReportBand* detail = QuickRep1->AddBand(TBandKind::Detail, 6);
    detail->Frame = FrameBottom | FrameLeft | FrameRight;
    detail->FrameX = head->FrameX;
    detail->FrameWidth = head->FrameWidth;
    for (TReportDataField* f :
         {Field(detail, "Lokomotiv", lokoX, 0, lokoW, 6), Field(detail, "OslablenieM", mvX, 0, mvW, 6),
          Field(detail, "OslablenieG", gmvX, 0, gmvW, 6)})
        f->Align = Qt::AlignCenter;
}

TQRRV::~TQRRV() {
    if (QRRV == this)
        QRRV = nullptr;
}
