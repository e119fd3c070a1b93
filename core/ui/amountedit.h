#pragma once
// Spin edits for amounts and whole numbers.
#include <QAbstractSpinBox>
#include <limits>

namespace ui {

// An amount in roubles and kopecks: two decimals, a decimal comma, no digit
// grouping, no bounds ("1234,50", "-7,00", "0,00"). A point typed becomes a
// comma; leaving the line (or Enter) gives the text its full form. Up and
// Down add or take 1.
class AmountEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit AmountEdit(QWidget* parent = nullptr);

    // The amount as shown; 0 for an empty text or a lone sign.
    double value() const;
    void setValue(double v);
    // Puts a text into the line as typed (not yet in its full form).
    void setText(const QString& text);
    static QString format(double v);   // "12,50"

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    void textChanged(const QString& text);
    void valueChanged(double value);

protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void normalize();
};

// A whole number with optional bounds. The text may hold anything the user
// typed; the owner reads it with valueOr().
class IntSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit IntSpinEdit(QWidget* parent = nullptr);

    // The number of the text, kept within the bounds; `fallback` when the
    // text is not a whole number.
    int valueOr(int fallback) const;
    bool isNumber() const;
    // valueOr(minimum()).
    int value() const { return valueOr(minimum_); }
    void setValue(int v);
    void setText(const QString& text);

    void setRange(int min, int max);
    void setMinimum(int min) { setRange(min, std::max(min, maximum_)); }
    void setMaximum(int max) { setRange(std::min(minimum_, max), max); }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

signals:
    void textChanged(const QString& text);

protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* e) override;

private:
    int minimum_ = std::numeric_limits<int>::min();
    int maximum_ = std::numeric_limits<int>::max();
};

} // namespace ui
