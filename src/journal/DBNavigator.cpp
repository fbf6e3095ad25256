#include "journal/DBNavigator.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {
struct TLook {
    const char* Name;
    QStyle::StandardPixmap Icon;
};
TLook LookOf(TNavButton kind) {
    switch (kind) {
    case TNavButton::First:
        return {"nbFirst", QStyle::SP_MediaSkipBackward};
    case TNavButton::Prior:
        return {"nbPrior", QStyle::SP_MediaSeekBackward};
    case TNavButton::Next:
        return {"nbNext", QStyle::SP_MediaSeekForward};
    case TNavButton::Last:
        return {"nbLast", QStyle::SP_MediaSkipForward};
    case TNavButton::Insert:
        return {"nbInsert", QStyle::SP_FileDialogNewFolder};
    case TNavButton::Delete:
        return {"nbDelete", QStyle::SP_TrashIcon};
    case TNavButton::Edit:
        return {"nbEdit", QStyle::SP_FileDialogDetailedView};
    case TNavButton::Post:
        return {"nbPost", QStyle::SP_DialogApplyButton};
    case TNavButton::Cancel:
        return {"nbCancel", QStyle::SP_DialogCancelButton};
    case TNavButton::Refresh:
        return {"nbRefresh", QStyle::SP_BrowserReload};
    }
    return {"", QStyle::SP_CustomBase};
}
} // namespace

TDBNavigator::TDBNavigator(const QList<TButton>& buttons, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (const TButton& b : buttons) {
        const TLook look = LookOf(b.Kind);
        auto* button = new QToolButton(this);
        button->setObjectName(look.Name);
        button->setIcon(style()->standardIcon(look.Icon));
        button->setToolTip(b.Hint);
        layout->addWidget(button);
        buttons_.append({b.Kind, button});
        connect(button, &QToolButton::clicked, this, [this, kind = b.Kind] { emit Clicked(kind); });
    }
    layout->addStretch();
}

QToolButton* TDBNavigator::Button(TNavButton kind) const {
    for (const auto& [k, button] : buttons_)
        if (k == kind)
            return button;
    return nullptr;
}
