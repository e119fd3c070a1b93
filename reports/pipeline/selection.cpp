#include "reports/pipeline/selection.h"

#include "books/books.h"
#include "core/store/format.h"
#include "core/store/table.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace reports {

QDate EditDate(const ui::DateEdit& e) { return textDate(e.text()); }

namespace {
QPushButton* browseButton(const char* name, const QString& hint)
{
    auto* b = new QPushButton(QStringLiteral(". . ."));
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setFixedWidth(30);
    return b;
}
} // namespace

TSelectionDialog::TSelectionDialog(const QString& caption, int groups, QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setWindowTitle(caption);
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    groups_ = new QVBoxLayout;
    outer->addLayout(groups_);

    QList<QWidget*> order;
    if (groups & Period) {
        PeriodGroup = addGroup(QStringLiteral("Период"));
        PerCheckBox = new QCheckBox(QStringLiteral("Период с:"));
        PerCheckBox->setObjectName(QStringLiteral("PerCheckBox"));
        StartDateEdit = new ui::DateEdit;
        StartDateEdit->setObjectName(QStringLiteral("StartDateEdit"));
        EndDateEdit = new ui::DateEdit;
        EndDateEdit->setObjectName(QStringLiteral("EndDateEdit"));
        // A report accepts whatever the dates say; nothing is refused on leaving.
        StartDateEdit->setCheckOnLeave(false);
        EndDateEdit->setCheckOnLeave(false);
        auto* row = new QHBoxLayout(PeriodGroup);
        row->addWidget(PerCheckBox);
        row->addWidget(StartDateEdit);
        row->addWidget(new QLabel(QStringLiteral("по")));
        row->addWidget(EndDateEdit);
        row->addStretch();
        order << PerCheckBox << StartDateEdit << EndDateEdit;
    }
    if (groups & Organization) {
        OrgGroup = addGroup(QStringLiteral("Организации"));
        OrgCheckBox = new QCheckBox(QStringLiteral("Организация"));
        OrgCheckBox->setObjectName(QStringLiteral("OrgCheckBox"));
        OrgEditField = TOrgEdit::createOrganization();
        OrgEditField->setObjectName(QStringLiteral("OrgEditField"));
        ORGBrowse = browseButton("ORGBrowse", QStringLiteral("Выбрать организацию из справочника"));
        auto* row = new QHBoxLayout(OrgGroup);
        row->addWidget(OrgCheckBox);
        row->addWidget(OrgEditField);
        row->addWidget(ORGBrowse);
        row->addStretch();
        connect(OrgCheckBox, &QCheckBox::clicked, this, &TSelectionDialog::OrgCheckBoxClick);
        connect(ORGBrowse, &QPushButton::clicked, this, &TSelectionDialog::ORGBrowseClick);
        order << OrgCheckBox << OrgEditField << ORGBrowse;
    }
    if (groups & Code) {
        CBCGroup = addGroup(QStringLiteral("КБК"));
        CBCCheckBox = new QCheckBox(QStringLiteral("КБК"));
        CBCCheckBox->setObjectName(QStringLiteral("CBCCheckBox"));
        CBCEditField = TCBCEdit::createCode();
        CBCEditField->setObjectName(QStringLiteral("CBCEditField"));
        CBCBrowse = browseButton("CBCBrowse", QStringLiteral("Выбрать КБК из справочника"));
        auto* row = new QHBoxLayout(CBCGroup);
        row->addWidget(CBCCheckBox, 0, Qt::AlignBottom);
        QHBoxLayout* line = nullptr;
        row->addWidget(captionedCode(CBCEditField, &line));
        line->insertWidget(1, CBCBrowse);
        connect(CBCCheckBox, &QCheckBox::clicked, this, &TSelectionDialog::CBCCheckBoxClick);
        connect(CBCBrowse, &QPushButton::clicked, this, &TSelectionDialog::CBCBrowseClick);
        order << CBCCheckBox << CBCEditField << CBCBrowse;
    }
    if (groups & Purpose) {
        LawGroup = addGroup(QStringLiteral("Назначение"));
        LawCheckBox = new QCheckBox(QStringLiteral("Назначение"));
        LawCheckBox->setObjectName(QStringLiteral("LawCheckBox"));
        LawEditField = TOrgEdit::createPurpose();
        LawEditField->setObjectName(QStringLiteral("LawEditField"));
        LawBrowse = browseButton("LawBrowse", QStringLiteral("Выбрать назначение из справочника"));
        auto* row = new QHBoxLayout(LawGroup);
        row->addWidget(LawCheckBox);
        row->addWidget(LawEditField);
        row->addWidget(LawBrowse);
        row->addStretch();
        connect(LawCheckBox, &QCheckBox::clicked, this, &TSelectionDialog::LawCheckBoxClick);
        connect(LawBrowse, &QPushButton::clicked, this, &TSelectionDialog::LawBrowseClick);
        order << LawCheckBox << LawEditField << LawBrowse;
    }
    // Checkboxes line up: each group's box takes the same width.
    int w = 0;
    for (QCheckBox* c : {PerCheckBox, OrgCheckBox, CBCCheckBox, LawCheckBox})
        if (c)
            w = std::max(w, c->sizeHint().width());
    for (QCheckBox* c : {PerCheckBox, OrgCheckBox, CBCCheckBox, LawCheckBox})
        if (c)
            c->setFixedWidth(w + 8);

    ReportOkButton = new QPushButton(QStringLiteral("Сформировать"));
    ReportOkButton->setObjectName(QStringLiteral("ReportOkButton"));
    ReportOkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ReportOkButton);
    buttons->addWidget(CancelButton);
    outer->addLayout(buttons);
    order << ReportOkButton << CancelButton;
    connect(ReportOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    auto* hint = new QLabel(QStringLiteral("Используйте символ * для объединения"));
    hint->setObjectName(QStringLiteral("StatusText"));
    StatusBar1->addWidget(hint, 1);
    outer->addWidget(StatusBar1);
    outer->setContentsMargins(8, 8, 8, 0);

    // Tab order: each group's box, edit and browse button, then the buttons.
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    ui::installButtonKeys(this);
}

QGroupBox* TSelectionDialog::addGroup(const QString& title)
{
    auto* g = new QGroupBox(title);
    groups_->addWidget(g);
    return g;
}

void TSelectionDialog::fillBlank(QCheckBox* box, TSegmentedEdit* e, int width)
{
    if (box->isChecked() && e->text() == QString(width, QLatin1Char(' ')))
        e->setText(QString(width, QLatin1Char('*')));
}

void TSelectionDialog::OrgCheckBoxClick() { fillBlank(OrgCheckBox, OrgEditField, 5); }
void TSelectionDialog::CBCCheckBoxClick() { fillBlank(CBCCheckBox, CBCEditField, 19); }
void TSelectionDialog::LawCheckBoxClick() { fillBlank(LawCheckBox, LawEditField, 3); }

void TSelectionDialog::browse(books::TBookSelectForm* picker, TSegmentedEdit* e)
{
    if (!picker)
        return;
    if (auto code = picker->choose())
        e->setText(*code);
}

void TSelectionDialog::ORGBrowseClick() { browse(pickers_.org, OrgEditField); }
void TSelectionDialog::CBCBrowseClick() { browse(pickers_.cbc, CBCEditField); }
void TSelectionDialog::LawBrowseClick() { browse(pickers_.law, LawEditField); }

bool TSelectionDialog::periodTicked() const { return PerCheckBox && PerCheckBox->isChecked(); }
bool TSelectionDialog::orgTicked() const { return OrgCheckBox && OrgCheckBox->isChecked(); }
bool TSelectionDialog::cbcTicked() const { return CBCCheckBox && CBCCheckBox->isChecked(); }
bool TSelectionDialog::lawTicked() const { return LawCheckBox && LawCheckBox->isChecked(); }

Selection TSelectionDialog::selection() const
{
    Selection s;
    if (PerCheckBox) {
        s.period = PerCheckBox->isChecked();
        s.startText = StartDateEdit->text();
        s.endText = EndDateEdit->text();
    }
    if (OrgCheckBox) {
        s.org = OrgCheckBox->isChecked();
        s.orgMask = OrgEditField->text();
    }
    if (CBCCheckBox) {
        s.cbc = CBCCheckBox->isChecked();
        s.cbcMask = CBCEditField->text();
    }
    if (LawCheckBox) {
        s.law = LawCheckBox->isChecked();
        s.lawMask = LawEditField->text();
    }
    return s;
}

void TSelectionDialog::setSelection(const Selection& s)
{
    if (PerCheckBox) {
        PerCheckBox->setChecked(s.period);
        StartDateEdit->setText(s.startText);
        EndDateEdit->setText(s.endText);
    }
    if (OrgCheckBox) {
        OrgCheckBox->setChecked(s.org);
        OrgEditField->setText(s.orgMask);
    }
    if (CBCCheckBox) {
        CBCCheckBox->setChecked(s.cbc);
        CBCEditField->setText(s.cbcMask);
    }
    if (LawCheckBox) {
        LawCheckBox->setChecked(s.law);
        LawEditField->setText(s.lawMask);
    }
}

bool TSelectionDialog::periodAccepts(const QDate& date) const { return selection().periodAccepts(date); }
bool TSelectionDialog::FilterT2_1(store::Table& t) const { return selection().acceptsReceipt(t); }
bool TSelectionDialog::FilterT2_2(store::Table& t) const { return selection().acceptsExpenditure(t); }
QString TSelectionDialog::filterExpressionT2_1() const { return selection().receiptExpression(); }
QString TSelectionDialog::filterExpressionT2_2() const { return selection().expenditureExpression(); }
QString TSelectionDialog::periodText() const { return selection().periodText(); }
QString TSelectionDialog::orgText() const { return selection().orgText(); }
QString TSelectionDialog::cbcText() const { return selection().cbcText(); }
QString TSelectionDialog::lawText() const { return selection().lawText(); }

} // namespace reports
