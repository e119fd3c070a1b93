#include "maintenance/packtableform.h"
#include "core/datamodule/datamodule.h"
#include "core/store/storeerror.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/messagebox.h"
#include "maintenance/pack.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace maintenance {

namespace {

constexpr int MarkSize = 15;

// "Pending": an empty grey ring with a small clock hand.
QPixmap pendingPicture()
{
    QPixmap p(MarkSize, MarkSize);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(128, 128, 128), 1.4));
    g.setBrush(QColor(240, 240, 240));
    g.drawEllipse(QRectF(1.5, 1.5, 12, 12));
    g.setPen(QPen(QColor(96, 96, 96), 1.3, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(7.5, 7.5), QPointF(7.5, 4));
    g.drawLine(QPointF(7.5, 7.5), QPointF(10, 9));
    return p;
}

// "Done": a green disc with a white tick.
QPixmap donePicture()
{
    QPixmap p(MarkSize, MarkSize);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(0, 110, 0), 1));
    g.setBrush(QColor(40, 160, 40));
    g.drawEllipse(QRectF(1, 1, 13, 13));
    QPainterPath tick;
    tick.moveTo(4, 7.8);
    tick.lineTo(6.5, 10.3);
    tick.lineTo(11, 4.8);
    g.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.setBrush(Qt::NoBrush);
    g.drawPath(tick);
    return p;
}

const QPixmap& picture(bool done)
{
    static const QPixmap pending = pendingPicture();
    static const QPixmap finished = donePicture();
    return done ? finished : pending;
}

} // namespace

TPackTableForm::TPackTableForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent, Qt::Tool), db_(db)
{
    setObjectName("PackTableForm");
    setWindowTitle(QStringLiteral("Обслуживание базы данных"));
    setModal(true);

    auto* heading = new QLabel(QStringLiteral("Упаковка:"));
    heading->setObjectName("Label1");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    QLabel** named[] = {&ImageOrg, &ImageLaw,  &ImageCBC,  &ImageT2_1, &ImageT2_2,      &ImageT1,
                        &ImageRep, &ImageDOrg, &ImageDin, &ImageDOut, &ImageSumTypeSpr};
    const auto& lines = packLines();
    for (int i = 0; i < int(lines.size()); ++i) {
        auto* caption = new QLabel(lines[size_t(i)].caption);
        auto* mark = new QLabel;
        mark->setObjectName(lines[size_t(i)].mark);
        mark->setFixedSize(MarkSize, MarkSize);
        *named[i] = mark;
        marks_.push_back(mark);
        grid->addWidget(caption, i, 0);
        grid->addWidget(mark, i, 1, Qt::AlignRight | Qt::AlignVCenter);
    }

    OkButton = new QPushButton(QStringLiteral("Выполнить"));
    OkButton->setObjectName("OkButton");
    CancelButton = new QPushButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName("CancelButton");
    // Enter closes the window as Esc does: the work starts only on purpose.
    CancelButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* main = new QVBoxLayout(this);
    main->addWidget(heading);
    main->addLayout(grid);
    main->addSpacing(8);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(OkButton, &QPushButton::clicked, this, &TPackTableForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ui::installButtonKeys(this);
    FormActivate();
}

bool TPackTableForm::markDone(const QLabel* mark) { return mark && mark->property("done").toBool(); }

void TPackTableForm::setMark(int line, bool done)
{
    QLabel* m = marks_[size_t(line)];
    m->setPixmap(picture(done));
    m->setProperty("done", done);
    m->setToolTip(done ? QStringLiteral("Упакована") : QStringLiteral("Не упакована"));
}

void TPackTableForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormActivate();
}

void TPackTableForm::FormActivate()
{
    for (int i = 0; i < int(marks_.size()); ++i)
        setMark(i, false);
    CancelButton->setFocus(Qt::OtherFocusReason);
}

void TPackTableForm::OkButtonClick()
{
    if (ui::messageBox(QStringLiteral("Предупреждение"),
                       QStringLiteral("Будет выполнена упаковка и реструктуризация таблиц базы данных. "
                                      "Данная функция требует монопольного доступа к таблицам базы данных. "
                                      "Все сетевые копии программы должны быть закрыты. Продолжить ?"),
                       dm::MsgButtons::OkCancel, dm::MsgIcon::Warning) == dm::MsgResult::Ok) {
        // The question's box has just gone from over the window; the run
        // keeps the event loop waiting, so the window is painted whole now
        // and each mark as it turns.
        repaint();
        try {
            PackTables(db_, [this](int line) {
                setMark(line, true);
                marks_[size_t(line)]->repaint();
            });
        } catch (const std::exception& e) {
            ui::showError(store::errorText(e));
        }
    }
    // The window closes after the click whatever the answer or the outcome.
    accept();
}

} // namespace maintenance
