#include "core/ui/amountedit.h"

#include "core/store/format.h"

#include <QLineEdit>
#include <QWheelEvent>
#include <QRegularExpression>
#include <cmath>

namespace ui {

namespace {

// At most 15 digits before the comma and 2 after it.
const QRegularExpression& amountPattern()
{
    static const QRegularExpression re(QStringLiteral("^-?\\d{0,15}(,\\d{0,2})?$"));
    return re;
}

} // namespace

// ---------------------------------------------------------------- AmountEdit

AmountEdit::AmountEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(format(0));
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& t) {
        emit textChanged(t);
        emit valueChanged(value());
    });
    connect(this, &QAbstractSpinBox::editingFinished, this, &AmountEdit::normalize);
}

QString AmountEdit::format(double v)
{
    if (!std::isfinite(v))
        v = 0;
    return store::formatNumber(v, QStringLiteral("#0.00"));
}

double AmountEdit::value() const
{
    const auto v = store::parseFloat(text());
    return v && std::isfinite(*v) ? *v : 0.0;
}

void AmountEdit::setValue(double v)
{
    const QString t = format(v);
    if (t != lineEdit()->text())
        lineEdit()->setText(t);
}

void AmountEdit::setText(const QString& text) { lineEdit()->setText(text); }

void AmountEdit::normalize() { setValue(value()); }

void AmountEdit::stepBy(int steps)
{
    setValue(value() + steps);
}

QAbstractSpinBox::StepEnabled AmountEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

void AmountEdit::wheelEvent(QWheelEvent* e)
{
    // The wheel changes an amount only in the line being worked in, never
    // one the form is scrolled past.
    if (!hasFocus()) {
        e->ignore();
        return;
    }
    QAbstractSpinBox::wheelEvent(e);
}

QValidator::State AmountEdit::validate(QString& input, int& pos) const
{
    // A point is a decimal comma too (the numeric keypad gives a point);
    // blanks of a pasted "1 234,50" go.
    input.replace(QLatin1Char('.'), QLatin1Char(','));
    input.remove(QLatin1Char(' '));
    input.remove(QChar(0x00A0));
    pos = std::min<int>(pos, int(input.size()));
    if (input.isEmpty() || input == QLatin1String("-") || input == QLatin1String(",") || input == QLatin1String("-,"))
        return QValidator::Intermediate;
    return amountPattern().match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

void AmountEdit::fixup(QString& input) const { input = format(store::parseFloat(input).value_or(0.0)); }

// ---------------------------------------------------------------- IntSpinEdit

IntSpinEdit::IntSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lineEdit()->setText(QStringLiteral("0"));
    connect(lineEdit(), &QLineEdit::textChanged, this, &IntSpinEdit::textChanged);
}

bool IntSpinEdit::isNumber() const
{
    bool ok = false;
    text().trimmed().toLongLong(&ok);
    return ok;
}

int IntSpinEdit::valueOr(int fallback) const
{
    bool ok = false;
    const qint64 v = text().trimmed().toLongLong(&ok);
    if (!ok)
        return fallback;
    return int(std::clamp<qint64>(v, minimum_, maximum_));
}

void IntSpinEdit::setValue(int v)
{
    const QString t = QString::number(std::clamp(v, minimum_, maximum_));
    if (t != lineEdit()->text())
        lineEdit()->setText(t);
}

void IntSpinEdit::setText(const QString& text) { lineEdit()->setText(text); }

void IntSpinEdit::setRange(int min, int max)
{
    minimum_ = min;
    maximum_ = std::max(min, max);
    if (isNumber())
        setValue(value());
}

void IntSpinEdit::stepBy(int steps)
{
    const qint64 base = isNumber() ? valueOr(0) : std::clamp(0, minimum_, maximum_);
    setValue(int(std::clamp<qint64>(base + steps, minimum_, maximum_)));
}

QAbstractSpinBox::StepEnabled IntSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    if (!isNumber())
        return StepUpEnabled | StepDownEnabled;
    StepEnabled s = StepNone;
    const int v = value();
    if (v < maximum_)
        s |= StepUpEnabled;
    if (v > minimum_)
        s |= StepDownEnabled;
    return s;
}

void IntSpinEdit::wheelEvent(QWheelEvent* e)
{
    if (!hasFocus()) {
        e->ignore();
        return;
    }
    QAbstractSpinBox::wheelEvent(e);
}

QValidator::State IntSpinEdit::validate(QString& input, int& pos) const
{
    Q_UNUSED(input);
    Q_UNUSED(pos);
    // What the text means is for the owner to decide.
    return QValidator::Acceptable;
}

} // namespace ui
