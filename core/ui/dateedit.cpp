#include "core/ui/dateedit.h"

#include "core/ui/messagebox.h"
#include "core/store/format.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace ui {

namespace {

// The calendar button: a small sheet of a calendar with a red top.
QIcon calendarIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 40, 40), 1));
    p.setBrush(QColor(255, 255, 250));
    p.drawRect(QRectF(1.5, 2.5, 13, 12));
    p.fillRect(QRectF(2, 3, 12, 3.5), QColor(210, 40, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 50, 60));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            p.drawRect(QRectF(3 + i * 2.8, 7.5 + j * 2.3, 1.5, 1.5));
    p.setPen(QPen(QColor(60, 60, 70), 1.2));
    p.drawLine(QPointF(4.5, 1), QPointF(4.5, 4));
    p.drawLine(QPointF(11.5, 1), QPointF(11.5, 4));
    return QIcon(pm);
}

class CalendarPopup : public QFrame {
public:
    explicit CalendarPopup(QWidget* owner) : QFrame(owner, Qt::Popup), owner_(owner)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Escape) {
            hide();
            return;
        }
        QFrame::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        // A click on the button closes the calendar without reopening it.
        if (owner_->rect().contains(owner_->mapFromGlobal(e->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        QFrame::mousePressEvent(e);
    }

private:
    QWidget* owner_;
};

} // namespace

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(10);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9./\\- ]{0,10}")), this));
    QAction* button = addAction(calendarIcon(), QLineEdit::TrailingPosition);
    button->setToolTip(QStringLiteral("Календарь"));
    button->setObjectName(QStringLiteral("calendarButton"));
    connect(button, &QAction::triggered, this, &DateEdit::showCalendar);
    connect(this, &QLineEdit::textChanged, this, &DateEdit::changed);
    QFontMetrics fm(font());
    setMinimumWidth(fm.horizontalAdvance(QStringLiteral("00.00.00000")) + 34);
}

DateEdit::~DateEdit() = default;

QDate DateEdit::date() const
{
    const auto d = store::parseDate(text());
    return d ? *d : QDate();
}

void DateEdit::setDate(const QDate& d) { setText(store::formatDate(d)); }

bool DateEdit::hasValidText() const { return isEmpty() || date().isValid(); }

QString DateEdit::normalized(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (const auto d = store::parseDate(t))
        return store::formatDate(*d);
    // Digits alone: ddMMyyyy or ddMMyy.
    static const QRegularExpression digits(QStringLiteral("^\\d{6}(\\d{2})?$"));
    if (digits.match(t).hasMatch()) {
        const QString dotted = t.left(2) + QLatin1Char('.') + t.mid(2, 2) + QLatin1Char('.') + t.mid(4);
        if (const auto d = store::parseDate(dotted))
            return store::formatDate(*d);
    }
    return text;
}

void DateEdit::keyPressEvent(QKeyEvent* e)
{
    const bool alt = e->modifiers() & Qt::AltModifier;
    if (e->key() == Qt::Key_F4 || (alt && e->key() == Qt::Key_Down)) {
        showCalendar();
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        const QString n = normalized(text());
        if (n != text())
            setText(n);
    }
    QLineEdit::keyPressEvent(e);
}

void DateEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (reporting_ || e->reason() == Qt::PopupFocusReason || e->reason() == Qt::ActiveWindowFocusReason)
        return;
    const QString n = normalized(text());
    if (n != text())
        setText(n);
    if (!checkOnLeave_ || hasValidText())
        return;
    reporting_ = true;
    showError(QStringLiteral("Неверная дата: %1").arg(text().trimmed()));
    reporting_ = false;
    QTimer::singleShot(0, this, [this] {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    });
}

void DateEdit::showCalendar()
{
    if (isReadOnly() || !isEnabled())
        return;
    if (!popup_) {
        popup_ = new CalendarPopup(this);
        auto* lay = new QVBoxLayout(popup_);
        lay->setContentsMargins(0, 0, 0, 0);
        calendar_ = new QCalendarWidget(popup_);
        calendar_->setObjectName(QStringLiteral("calendar"));
        calendar_->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        calendar_->setFirstDayOfWeek(Qt::Monday);
        calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        calendar_->setGridVisible(true);
        lay->addWidget(calendar_);
        connect(calendar_, &QCalendarWidget::clicked, this, &DateEdit::pick);
        connect(calendar_, &QCalendarWidget::activated, this, &DateEdit::pick);
    }
    const QDate d = date();
    calendar_->setSelectedDate(d.isValid() ? d : QDate::currentDate());
    popup_->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        if (at.y() + popup_->height() > avail.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup_->height());
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - popup_->width())));
    }
    popup_->move(at);
    popup_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void DateEdit::hideCalendar()
{
    if (popup_)
        popup_->hide();
}

bool DateEdit::isCalendarVisible() const { return popup_ && popup_->isVisible(); }

void DateEdit::pick(const QDate& d)
{
    hideCalendar();
    setDate(d);
    setFocus(Qt::PopupFocusReason);
    selectAll();
}

} // namespace ui
