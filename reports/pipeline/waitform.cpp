#include "waitform.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports {

namespace {
bool cancelFlag = false;
}

bool cancelRequested() { return cancelFlag; }
void setCancelRequested(bool on) { cancelFlag = on; }

TWaitForm::TWaitForm(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("WaitForm"));
    setWindowTitle(QStringLiteral("Ждите..."));
    setModal(false);
    setFixedSize(426, 91);
    auto* lay = new QVBoxLayout(this);
    Gauge1 = new QProgressBar;
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(true);
    QPalette pal = Gauge1->palette();   // filled in blue
    pal.setColor(QPalette::Highlight, Qt::blue);
    Gauge1->setPalette(pal);
    lay->addWidget(Gauge1);
    CBtn = new QPushButton(QStringLiteral("Отмена"));
    CBtn->setObjectName(QStringLiteral("CBtn"));
    CBtn->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CBtn);
    row->addStretch();
    lay->addLayout(row);
    connect(CBtn, &QPushButton::clicked, this, &TWaitForm::CBtnClick);
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
