#include "core/ui/codeedit.h"
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <QLabel>

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>

namespace {

// QLineEdit's own "no limit".
constexpr int UnlimitedLength = 32767;

// A part of a code without the blanks (and control characters) at its end,
// which text() puts back as the segment's padding. Blanks before and inside
// the part are its own: a mask such as " 1*" keeps them.
QString trimTrailingBlanks(const QString& s)
{
    qsizetype e = s.size();
    while (e > 0 && s.at(e - 1) <= QLatin1Char(' '))
        --e;
    return s.left(e);
}

}  // namespace

// ---------------------------------------------------------------------------
// TSegmentedEdit

TSegmentedEdit::TSegmentedEdit(int segments, int width, QWidget* parent)
    : QFrame(parent)
{
    Q_ASSERT(segments >= 2);
    // An etched (tile) bevel: a sunken line outside, a raised one inside.
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setLineWidth(1);
    setMidLineWidth(0);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    // The segments live inside the bevel, which clips them, while their
    // slots are measured on the control's whole width.
    m_inside = new QWidget(this);
    m_segments.reserve(segments);
    for (int k = 1; k <= segments; ++k) {
        auto* e = new QLineEdit(m_inside);
        e->setObjectName(QStringLiteral("Ed%1").arg(k));
        e->setFrame(false);
        // A segment is as high as the whole control; the bevel hides its
        // lower edge, so the text sits at the top.
        e->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        e->setMaxLength(UnlimitedLength);
        e->installEventFilter(this);
        // Only typing hands the caret on; a text put in by the program
        // leaves the focus where it is.
        connect(e, &QLineEdit::textEdited, this, [this, k] { segmentTyped(k); });
        connect(e, &QLineEdit::textChanged, this, [this] { emit changed(); });
        m_segments.push_back(e);
    }
    m_maxLen.assign(segments, 0);
    m_textColor.assign(segments, QColor());
    // Focusing the control focuses the first segment.
    setFocusProxy(m_segments.front());

    resize(width, DefaultHeight);
    m_hint = size();
    layoutSegments();
}

QLineEdit* TSegmentedEdit::segment(int k) const
{
    Q_ASSERT(k >= 1 && k <= segmentCount());
    return m_segments.at(k - 1);
}

QString TSegmentedEdit::edText(int k) const
{
    return segment(k)->text();
}

void TSegmentedEdit::setEdText(int k, const QString& text)
{
    QLineEdit* e = segment(k);
    e->setText(text);
    // A code put in from the program shows its beginning, as a segment
    // narrower than its text would otherwise show only the end.
    if (!e->hasFocus())
        e->setCursorPosition(0);
}

int TSegmentedEdit::edMaxLen(int k) const
{
    Q_ASSERT(k >= 1 && k <= segmentCount());
    return m_maxLen.at(k - 1);
}

void TSegmentedEdit::setEdMaxLen(int k, int length)
{
    Q_ASSERT(k >= 1 && k <= segmentCount());
    length = qBound(0, length, UnlimitedLength);
    m_maxLen[k - 1] = length;
    // A shorter limit cuts the text already there (and so counts as a change).
    segment(k)->setMaxLength(length > 0 ? length : UnlimitedLength);
}

QFont TSegmentedEdit::edFont(int k) const
{
    return segment(k)->font();
}

void TSegmentedEdit::setEdFont(int k, const QFont& font)
{
    segment(k)->setFont(font);
}

QColor TSegmentedEdit::edColor(int k) const
{
    return segment(k)->palette().color(QPalette::Active, QPalette::Text);
}

void TSegmentedEdit::setEdColor(int k, const QColor& color)
{
    Q_ASSERT(k >= 1 && k <= segmentCount());
    m_textColor[k - 1] = color;
    applyPalette(k);
}

QString TSegmentedEdit::text() const
{
    QString s;
    for (int k = 1; k <= segmentCount(); ++k) {
        const QString t = edText(k);
        s += t;
        const int m = m_maxLen[k - 1];
        if (m > 0 && t.size() < m)
            s += QString(m - t.size(), QLatin1Char(' '));
    }
    return s;
}

void TSegmentedEdit::setText(const QString& text)
{
    if (m_maxLen.front() == 0) {
        setEdText(1, text);
        return;
    }
    qsizetype p = 0;
    for (int k = 1; k <= segmentCount(); ++k) {
        const int m = m_maxLen[k - 1];
        setEdText(k, p < text.size() ? trimTrailingBlanks(text.mid(p, m)) : QString());
        p += m;
    }
}

bool TSegmentedEdit::isReadOnly() const
{
    return segment(1)->isReadOnly();
}

void TSegmentedEdit::setReadOnly(bool readOnly)
{
    for (QLineEdit* e : m_segments)
        e->setReadOnly(readOnly);
}

QColor TSegmentedEdit::color() const
{
    return segment(1)->palette().color(QPalette::Active, QPalette::Base);
}

void TSegmentedEdit::setColor(const QColor& color)
{
    m_background = color;
    for (int k = 1; k <= segmentCount(); ++k)
        applyPalette(k);
}

// Only the roles set on the control are set on the segment; the rest keep
// following the palette the segment inherits.
void TSegmentedEdit::applyPalette(int k)
{
    QPalette p;
    const QColor& text = m_textColor[k - 1];
    if (text.isValid()) {
        p.setColor(QPalette::Active, QPalette::Text, text);
        p.setColor(QPalette::Inactive, QPalette::Text, text);
    }
    if (m_background.isValid())
        p.setColor(QPalette::Base, m_background);
    segment(k)->setPalette(p);
}

void TSegmentedEdit::segmentTyped(int k)
{
    // A segment filled up by typing hands the caret on to the next one, but
    // only in a window on screen: a hidden control must not take the focus.
    const int m = m_maxLen[k - 1];
    if (k < segmentCount() && m > 0 && edText(k).size() == m) {
        QLineEdit* next = segment(k + 1);
        if (next->isVisible() && next->isEnabled()) {
            next->setFocus(Qt::OtherFocusReason);
            // Typing on replaces what the next segment held.
            next->selectAll();
        }
    }
}

void TSegmentedEdit::setDesignWidth(int width)
{
    resize(width, height());
    m_hint = size();
    updateGeometry();
    layoutSegments();
}

// The whole width is cut into equal slots, one per segment from the left,
// each the full height; what is left over stays empty at the right.
void TSegmentedEdit::layoutSegments()
{
    if (m_segments.empty())  // still being made
        return;
    m_inside->setGeometry(contentsRect());
    const int slot = width() / segmentCount();
    for (int i = 0; i < segmentCount(); ++i)
        m_segments[i]->setGeometry(i * slot, 0, slot, height());
}

bool TSegmentedEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        for (QLineEdit* e : m_segments) {
            if (e == watched) {
                segmentKeyPress(static_cast<QKeyEvent*>(event));
                break;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool TSegmentedEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ContentsRectChange)
        layoutSegments();
    return QFrame::event(event);
}

void TSegmentedEdit::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    layoutSegments();
}

// ---------------------------------------------------------------------------
// TOrgEdit

namespace {
const QColor Blue(0x00, 0x00, 0xFF);
const QColor Green(0x00, 0x80, 0x00);
const QColor Purple(0x80, 0x00, 0x80);
const QColor Maroon(0x80, 0x00, 0x00);
const QColor Teal(0x00, 0x80, 0x80);
}  // namespace

TOrgEdit::TOrgEdit(QWidget* parent)
    : TSegmentedEdit(2, 100, parent)
{
}

void TOrgEdit::configureOrganization()
{
    setEd1MaxLen(3);
    setEd2MaxLen(2);
    setEd1Color(Blue);
    setEd2Color(Green);
    setDesignWidth(68);
}

void TOrgEdit::configurePurpose(int width)
{
    setEd1MaxLen(2);
    setEd2MaxLen(1);
    setEd1Color(Blue);
    setEd2Color(Green);
    setDesignWidth(width);
}

TOrgEdit* TOrgEdit::createOrganization(QWidget* parent)
{
    auto* e = new TOrgEdit(parent);
    e->configureOrganization();
    return e;
}

TOrgEdit* TOrgEdit::createPurpose(QWidget* parent, int width)
{
    auto* e = new TOrgEdit(parent);
    e->configurePurpose(width);
    return e;
}

// ---------------------------------------------------------------------------
// TCBCEdit

TCBCEdit::TCBCEdit(QWidget* parent)
    : TSegmentedEdit(5, 200, parent)
{
}

void TCBCEdit::configureCode()
{
    const int lengths[] = {4, 3, 3, 3, 6};
    // Segment 1 keeps the palette's own text colour.
    const QColor colors[] = {QColor(), Blue, Purple, Maroon, Teal};
    // Six digits of the economic article must fit a fifth of 233 pixels.
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(12);
    for (int k = 1; k <= 5; ++k) {
        setEdMaxLen(k, lengths[k - 1]);
        setEdColor(k, colors[k - 1]);
        setEdFont(k, f);
    }
    setDesignWidth(233);
}

TCBCEdit* TCBCEdit::createCode(QWidget* parent)
{
    auto* e = new TCBCEdit(parent);
    e->configureCode();
    return e;
}

void TCBCEdit::segmentKeyPress(QKeyEvent* event)
{
    emit keyDown(event->key(), event->modifiers());
}

QWidget* captionedCode(TCBCEdit* e, QHBoxLayout** lineOut)
{
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* caps = new QHBoxLayout;
    caps->setSpacing(0);
    const int slot = e->sizeHint().width() / e->segmentCount();
    QFont small = box->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    for (const char* c : {"Р.П.", "Глава", "Цел.ст.", "В.Р.", "Эк.стат."}) {
        auto* l = new QLabel(QString::fromUtf8(c));
        l->setFont(small);
        l->setFixedWidth(slot);
        caps->addWidget(l);
    }
    caps->addStretch();
    v->addLayout(caps);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(e);
    line->addStretch();
    v->addLayout(line);
    if (lineOut)
        *lineOut = line;
    return box;
}
