#include "reports/codes/codes_windows.h"

#include "core/datamodule/datamodule.h"
#include "core/store/storeerror.h"
#include "core/ui/messagebox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace reports {

// ------------------------------------------------------------------ financing and credit remainders

TMDForm2::TMDForm2(const ReportContext& ctx, QWidget* parent)
    : TSelectionDialog(QStringLiteral("Финансирование и остатки кредитов организаций"), AllGroups, parent), ctx_(ctx),
      report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm2"));
    setPickers(ctx.pickers);
    NoteLabel = new QLabel(QStringLiteral("Для ускорения создания отчета\nрекомендуется задать отранизацию"));
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    QFont small = NoteLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    NoteLabel->setFont(small);
    // The note takes the room at the right of the row, in place of its stretch.
    auto* orgRow = static_cast<QHBoxLayout*>(OrgGroup->layout());
    for (int i = orgRow->count() - 1; i >= 0; --i)
        if (orgRow->itemAt(i)->spacerItem())
            delete orgRow->takeAt(i);
    orgRow->addWidget(NoteLabel, 1);

    QGroupBox* quarters = addGroup(QStringLiteral("Взять планируемые расходы за кварталы"));
    quarters->setObjectName(QStringLiteral("QuarterGroup"));
    Quarter1RadioButton = new QRadioButton(QStringLiteral("I"));
    Quarter12RadioButton = new QRadioButton(QStringLiteral("I + II"));
    Quarter123RadioButton = new QRadioButton(QStringLiteral("I + II + III"));
    Quarter1234RadioButton = new QRadioButton(QStringLiteral("I + II + III + IV"));
    auto* qRow = new QHBoxLayout(quarters);
    const char* qNames[] = {"Quarter1RadioButton", "Quarter12RadioButton", "Quarter123RadioButton", "Quarter1234RadioButton"};
    int q = 1;
    for (QRadioButton* b : {Quarter1RadioButton, Quarter12RadioButton, Quarter123RadioButton, Quarter1234RadioButton}) {
        b->setObjectName(QLatin1String(qNames[q - 1]));
        qRow->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this, q] { QuarterClick(q); });
        ++q;
    }
    qRow->addStretch();

    QGroupBox* sums = addGroup(QStringLiteral("Вычислять суммы"));
    sums->setObjectName(QStringLiteral("SumGroup"));
    auto* grid = new QGridLayout(sums);
    struct P {
        QCheckBox** box;
        const char* name;
        const char* text;
        int bit, row, col;
    };
    const P ps[] = {{&RazdCheck, "RazdCheck", "Раздел", PartRazd, 0, 0},
                    {&PRazdCheck, "PRazdCheck", "Подраздел", PartPRazd, 1, 0},
                    {&GlCheck, "GlCheck", "Глава", PartGl, 2, 0},
                    {&CelStCheck, "CelStCheck", "Целевая статья", PartCelSt, 0, 1},
                    {&VRCheck, "VRCheck", "Вид расхода", PartVR, 1, 1},
                    {&EcStCheck, "EcStCheck", "Экономическая статья", PartEcSt, 2, 1}};
    for (const P& p : ps) {
        QCheckBox* b = new QCheckBox(QString::fromUtf8(p.text));
        b->setObjectName(QLatin1String(p.name));
        grid->addWidget(b, p.row, p.col);
        *p.box = b;
        const int bit = p.bit;
        connect(b, &QCheckBox::clicked, this, [this, b, bit] { PartClick(b, bit); });
    }

    // Tab order: the groups of the selections, the quarters, the sums, the buttons.
    const QList<QWidget*> order{LawBrowse, Quarter1RadioButton, Quarter12RadioButton, Quarter123RadioButton,
                                Quarter1234RadioButton, RazdCheck, PRazdCheck, GlCheck, CelStCheck, VRCheck, EcStCheck,
                                ReportOkButton, CancelButton};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    // Six groups in the fixed size of the window: tight margins, the
    // groups close above each other.
    for (QGroupBox* g : findChildren<QGroupBox*>())
        g->layout()->setContentsMargins(8, 2, 8, 2);
    QDialog::layout()->setSpacing(5);
    for (QVBoxLayout* l : findChildren<QVBoxLayout*>())
        l->setSpacing(5);
    grid->setVerticalSpacing(0);
    OrgGroup->layout()->setContentsMargins(8, 2, 2, 2);
    OrgGroup->layout()->setSpacing(3);

    // FormCreate: no parts to sum, the whole year's plan.
    parts_ = 0;
    Quarter1234RadioButton->setChecked(true);
    QuarterClick(4);
    setFixedSize(425, 468);
}

void TMDForm2::showEvent(QShowEvent* e)
{
    TSelectionDialog::showEvent(e);
    // Centred over the main window, and whole on its screen.
    if (QWidget* p = parentWidget()) {
        QRect r = rect();
        r.moveCenter(p->window()->geometry().center());
        if (QScreen* s = p->screen()) {
            const QRect a = s->availableGeometry();
            r.moveLeft(qBound(a.left(), r.left(), qMax(a.left(), a.right() - r.width())));
            r.moveTop(qBound(a.top(), r.top(), qMax(a.top(), a.bottom() - r.height())));
        }
        move(r.topLeft());
    }
}

void TMDForm2::QuarterClick(int q)
{
    quarter_ = q;
    report_.setPlanHeading(q);
}

void TMDForm2::PartClick(QCheckBox* box, int bit)
{
    if (box->isChecked())
        parts_ |= bit;
    else
        parts_ &= ~bit;
}

CreditSelection TMDForm2::creditSelection() const
{
    CreditSelection s;
    s.sel = selection();
    s.quarter = quarter_;
    s.parts = parts_;
    return s;
}

void TMDForm2::CreateAndShow()
{
    if (ctx_.wait)
        ctx_.wait->setWindowTitle(QStringLiteral("Подготовка к подсчету"));
    WaitProgress progress(ctx_.wait);
    std::optional<PageSet> pages;
    try {
        pages = report_.run(creditSelection(), &progress);
    } catch (const store::StoreError& e) {
        cancelled_ = true;
        ui::showError(store::errorText(e));
        return;
    }
    cancelled_ = !pages;
    if (pages)
        preview(std::move(*pages), report_.layout(), PreviewMode::Ordinary, parentWidget(), windowTitle());
}

// ------------------------------------------------------------------ totals by economic articles

TMDForm4::TMDForm4(const ReportContext& ctx, QWidget* parent) : QObject(parent), ctx_(ctx), parent_(parent), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm4"));
}

void TMDForm4::CreateAndShow()
{
    WaitProgress progress(ctx_.wait);
    std::optional<PageSet> pages;
    try {
        pages = report_.run(ctx_.db->settingsYear(), &progress);
    } catch (const store::StoreError& e) {
        cancelled_ = true;
        ui::showError(store::errorText(e));
        return;
    }
    cancelled_ = !pages;
    if (pages)
        preview(std::move(*pages), report_.layout(), PreviewMode::Ordinary, parent_,
                QStringLiteral("Итоговое состояние средств по эк.статьям"));
}

} // namespace reports
