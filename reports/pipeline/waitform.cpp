#include "reports/pipeline/waitform.h"
#include "core/ui/buttonkeys.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace reports {

namespace {
bool cancelFlag = false;
}

bool cancelRequested() { return cancelFlag; }
void setCancelRequested(bool on) { cancelFlag = on; }

TGauge::TGauge(QWidget* parent) : QWidget(parent) { setMinimumHeight(20); }

void TGauge::setValue(int v)
{
    v = std::clamp(v, 0, 100);
    if (v != value_) {
        value_ = v;
        update();
    }
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, palette().color(QPalette::Base));
    p.fillRect(QRect(r.left() + 1, r.top() + 1, (r.width() - 1) * value_ / 100, r.height() - 1), Qt::blue);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r);
    p.setPen(value_ >= 50 ? Qt::white : palette().color(QPalette::Text));
    p.drawText(r, Qt::AlignCenter, QStringLiteral("%1%").arg(value_));
}

TWaitForm::TWaitForm(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("WaitForm"));
    setWindowTitle(QStringLiteral("Ждите..."));
    setModal(false);
    setFixedSize(426, 91);
    auto* lay = new QVBoxLayout(this);
    Gauge1 = new TGauge;
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    lay->addWidget(Gauge1);
    CBtn = new QPushButton(QStringLiteral("Отмена"));
    CBtn->setObjectName(QStringLiteral("CBtn"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CBtn);
    row->addStretch();
    lay->addLayout(row);
    connect(CBtn, &QPushButton::clicked, this, &TWaitForm::CBtnClick);
    ui::installButtonKeys(this);
}

void TWaitForm::SetProgress(quint8 value)
{
    history_ << value;
    Gauge1->setValue(std::min<int>(value, 100));
}

int TWaitForm::progress() const { return Gauge1->value(); }

void TWaitForm::FormActivate()
{
    Gauge1->setValue(0);
    setCancelRequested(false);
}

void TWaitForm::CBtnClick() { setCancelRequested(true); }

void TWaitForm::Show()
{
    history_.clear();
    // Only the opening clears the cancel request: a cancel pressed during a
    // run must not be lost when the window is activated again.
    FormActivate();
    if (QWidget* p = parentWidget())
        move(p->window()->geometry().center() - rect().center());
    show();
    raise();
}

void TWaitForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {   // Esc is the cancel button
        CBtn->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TWaitForm::closeEvent(QCloseEvent* e)
{
    // The frame's close box is the cancel button; the report hides the window.
    CBtnClick();
    e->ignore();
}

} // namespace reports
