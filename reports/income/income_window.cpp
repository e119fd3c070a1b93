#include "reports/income/income_window.h"

#include "books/books.h"
#include "core/store/storeerror.h"
#include "core/ui/codeedit.h"
#include "core/ui/messagebox.h"

#include <QCheckBox>
#include <algorithm>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace reports {

TUMDForm1::TUMDForm1(const ReportContext& ctx, books::TBookSelectForm* kinds, QWidget* parent)
    : TSelectionDialog(QStringLiteral("Отчет по организациям"), Period | Organization, parent), ctx_(ctx),
      kinds_(kinds), report_(*ctx.db)
{
    setObjectName(QStringLiteral("UMDForm1"));
    setPickers(ctx.pickers);

    auto* note = new QLabel(QStringLiteral("Для ускорения создания отчета\nрекомендуется задать организацию"));
    note->setObjectName(QStringLiteral("OrgNoteLabel"));
    QFont small = note->font();
    small.setPointSize(std::max(6, small.pointSize() - 2));
    note->setFont(small);
    if (auto* row = qobject_cast<QHBoxLayout*>(OrgGroup->layout()))
        row->addWidget(note);

    SumTypeGroup = addGroup(QStringLiteral("Вид"));
    SumTypeCheckBox = new QCheckBox(QStringLiteral("Вид прихода/расхода"));
    SumTypeCheckBox->setObjectName(QStringLiteral("SumTypeCheckBox"));
    SumTypeEditField = TOrgEdit::createPurpose();
    SumTypeEditField->setObjectName(QStringLiteral("SumTypeEditField"));
    SumTypeBrowse = new QPushButton(QStringLiteral(". . ."));
    SumTypeBrowse->setObjectName(QStringLiteral("SumTypeBrowse"));
    SumTypeBrowse->setToolTip(QStringLiteral("Выбрать назначение из справочника"));
    SumTypeBrowse->setFixedWidth(30);
    auto* row = new QHBoxLayout(SumTypeGroup);
    row->addWidget(SumTypeCheckBox);
    row->addWidget(SumTypeEditField);
    row->addWidget(SumTypeBrowse);
    row->addStretch();
    connect(SumTypeCheckBox, &QCheckBox::clicked, this, &TUMDForm1::SumTypeCheckBoxClick);
    connect(SumTypeBrowse, &QPushButton::clicked, this, &TUMDForm1::SumTypeBrowseClick);
    // The period's and the organization's boxes line up; the kind's is as
    // wide as its text, so that the note beside the organization has room.
    const int w = std::max(PerCheckBox->sizeHint().width(), OrgCheckBox->sizeHint().width()) + 4;
    for (QCheckBox* c : {PerCheckBox, OrgCheckBox})
        c->setFixedWidth(w);

    setTabOrder(ORGBrowse, SumTypeCheckBox);
    setTabOrder(SumTypeCheckBox, SumTypeEditField);
    setTabOrder(SumTypeEditField, SumTypeBrowse);
    setTabOrder(SumTypeBrowse, ReportOkButton);
    // Three groups, the buttons and the status line in 426 x 223: the
    // groups sit close together.
    if (auto* outer = qobject_cast<QVBoxLayout*>(layout())) {
        outer->setSpacing(2);
        outer->setContentsMargins(6, 2, 6, 0);
        if (auto* groups = qobject_cast<QVBoxLayout*>(outer->itemAt(0)->layout()))
            groups->setSpacing(0);
    }
    for (QGroupBox* g : {PeriodGroup, OrgGroup, SumTypeGroup})
        g->layout()->setContentsMargins(6, 0, 6, 2);
    setFixedSize(426, 223);
}

void TUMDForm1::showEvent(QShowEvent* e)
{
    TSelectionDialog::showEvent(e);
    if (!e->spontaneous() && parentWidget()) {
        QPoint at = parentWidget()->geometry().center() - rect().center();
        move(std::max(0, at.x()), std::max(0, at.y()));
    }
}

void TUMDForm1::SumTypeCheckBoxClick()
{
    if (SumTypeCheckBox->isChecked() && SumTypeEditField->text().trimmed().isEmpty())
        SumTypeEditField->setText(QStringLiteral("***"));
}

void TUMDForm1::SumTypeBrowseClick()
{
    if (!kinds_)
        return;
    if (auto code = kinds_->choose())
        SumTypeEditField->setText(*code);
}

IncomeSelection TUMDForm1::incomeSelection() const
{
    IncomeSelection s;
    static_cast<Selection&>(s) = selection();
    s.kind = SumTypeCheckBox->isChecked();
    s.kindMask = SumTypeEditField->text();
    return s;
}

void TUMDForm1::CreateAndShow()
{
    WaitProgress progress(ctx_.wait);
    std::optional<PageSet> pages;
    try {
        pages = report_.run(incomeSelection(), &progress);
    } catch (const store::StoreError& e) {
        cancelled_ = true;
        ui::showError(e.text());
        return;
    }
    cancelled_ = !pages;
    if (pages)
        preview(std::move(*pages), report_.layout(), PreviewMode::Modal, parentWidget(), windowTitle());
}

} // namespace reports
