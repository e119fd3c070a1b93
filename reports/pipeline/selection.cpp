#include "selection.h"

#include "books.h"
#include "store/format.h"
#include "store/table.h"
#include "ui/buttonkeys.h"
#include "ui/codeedit.h"
#include "ui/dateedit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace reports {

QChar GetChar(const QString& text, int pos)
{
    return pos >= 1 && pos <= text.size() ? text[pos - 1] : QLatin1Char(' ');
}

bool MaskSelection(const QString& mask, const QString& value) { return store::maskMatches(mask, value); }

QDate EditDate(const ui::DateEdit& e)
{
    const QDate d = e.date();
    return d.isValid() ? d : nullDate();
}

double CalcSumTable(store::Table& t, const QString& field)
{
    // One aggregate over what the table shows now, where the store can say
    // it in SQL; otherwise a walk from the first row to the end.
    if (auto s = t.viewSum(field))
        return *s;
    double sum = 0;
    for (t.first(); !t.eof(); t.next()) {
        const QVariant v = t.fieldByName(field).value();
        if (!v.isNull())
            sum += v.toDouble();
    }
    return sum;
}

namespace {
QString quotedLiteral(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

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

bool TSelectionDialog::periodAccepts(const QDate& date) const
{
    const QDate d = date.isValid() ? date : nullDate();
    if (d > EditDate(*EndDateEdit))
        return false;
    return !(d < EditDate(*StartDateEdit));
}

bool TSelectionDialog::FilterT2_1(store::Table& t) const
{
    if (periodTicked() && !periodAccepts(t.fieldByName(QStringLiteral("FiDate")).asDate()))
        return false;
    if (cbcTicked() && !MaskSelection(CBCEditField->text(), t.fieldByName(QStringLiteral("CBC")).asString()))
        return false;
    if (lawTicked() && !MaskSelection(LawEditField->text(), t.fieldByName(QStringLiteral("LawRef")).asString()))
        return false;
    return true;
}

bool TSelectionDialog::FilterT2_2(store::Table& t) const
{
    if (periodTicked() && !periodAccepts(t.fieldByName(QStringLiteral("FiDate")).asDate()))
        return false;
    if (orgTicked() && !MaskSelection(OrgEditField->text(), t.fieldByName(QStringLiteral("Org")).asString()))
        return false;
    if (cbcTicked() && !MaskSelection(CBCEditField->text(), t.fieldByName(QStringLiteral("CBC")).asString()))
        return false;
    if (lawTicked() && !MaskSelection(LawEditField->text(), t.fieldByName(QStringLiteral("LawRef")).asString()))
        return false;
    return true;
}

QString TSelectionDialog::commonExpression(bool withOrg) const
{
    QStringList c;
    if (periodTicked()) {
        // An empty edit is the null date, before every real one: an empty end
        // selects nothing dated, an empty start sets no lower bound (an
        // undated row counts as the null date too).
        c << QStringLiteral("FiDate <= %1").arg(quotedLiteral(store::formatDate(EditDate(*EndDateEdit))));
        const QDate start = EditDate(*StartDateEdit);
        if (start != nullDate())
            c << QStringLiteral("FiDate >= %1").arg(quotedLiteral(store::formatDate(start)));
    }
    if (withOrg && orgTicked())
        c << QStringLiteral("MASK(Org, %1)").arg(quotedLiteral(OrgEditField->text()));
    if (cbcTicked())
        c << QStringLiteral("MASK(CBC, %1)").arg(quotedLiteral(CBCEditField->text()));
    if (lawTicked())
        c << QStringLiteral("MASK(LawRef, %1)").arg(quotedLiteral(LawEditField->text()));
    return c.join(QStringLiteral(" and "));
}

QString TSelectionDialog::filterExpressionT2_1() const { return commonExpression(false); }
QString TSelectionDialog::filterExpressionT2_2() const { return commonExpression(true); }

QString TSelectionDialog::periodText() const
{
    // The "c" is the Latin letter, as the printed forms always had it.
    return periodTicked() ? QStringLiteral("Период: c ") + StartDateEdit->text() + QStringLiteral(" по ") + EndDateEdit->text()
                          : QStringLiteral("Период: Не задан");
}

QString TSelectionDialog::orgText() const
{
    return orgTicked() ? QStringLiteral("Отбор организаций: по маске ") + OrgEditField->text()
                       : QStringLiteral("Отбор организаций: Все");
}

QString TSelectionDialog::cbcText() const
{
    return cbcTicked() ? QStringLiteral("Отбор КБК: по маске ") + CBCEditField->text() : QStringLiteral("Отбор КБК: Все");
}

QString TSelectionDialog::lawText() const
{
    return lawTicked() ? QStringLiteral("Отбор назначений: по маске ") + LawEditField->text()
                       : QStringLiteral("Отбор назначений: Все");
}

} // namespace reports
