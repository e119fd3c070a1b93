#pragma once
// Code edits.  A code such as an organization (3 + 2 characters) or a budget
// classification (4 + 3 + 3 + 3 + 6) is typed into one bevelled frame that
// holds a borderless line edit per part (a segment), side by side, each part
// in its own colour and limited to its own length.  When a part is filled up
// by typing the caret jumps to the next one, so an accountant types the whole
// code without pressing Tab; a code put in by the program moves no focus.
//
// TSegmentedEdit is the control itself; TOrgEdit has two segments and
// TCBCEdit five.  Segments are numbered from 1, as in the property names
// (Ed1Text is segment(1)).
//
// Properties (also reachable by name through QObject::property):
//   Ed<k>Text    text of segment k
//   Ed<k>MaxLen  maximum length of segment k; 0 (the default) is unlimited
//   Ed<k>Font    font of segment k
//   Ed<k>Color   text colour of segment k (an invalid colour restores the
//                palette's text colour)
//   ReadOnly     read from segment 1, written to every segment
//   Color        background, read from segment 1, written to every segment
//   Text         the assembled code (see text() and setText())
// OnChange is the changed() signal: it is raised after the text of any
// segment changes, whether typed or written.  TCBCEdit also has OnKeyDown,
// the keyDown() signal.
#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>
#include <vector>

class QKeyEvent;
class QLineEdit;

class TSegmentedEdit : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(QString Ed1Text READ ed1Text WRITE setEd1Text NOTIFY changed)
    Q_PROPERTY(QString Ed2Text READ ed2Text WRITE setEd2Text NOTIFY changed)
    Q_PROPERTY(int Ed1MaxLen READ ed1MaxLen WRITE setEd1MaxLen)
    Q_PROPERTY(int Ed2MaxLen READ ed2MaxLen WRITE setEd2MaxLen)
    Q_PROPERTY(QFont Ed1Font READ ed1Font WRITE setEd1Font)
    Q_PROPERTY(QFont Ed2Font READ ed2Font WRITE setEd2Font)
    Q_PROPERTY(QColor Ed1Color READ ed1Color WRITE setEd1Color)
    Q_PROPERTY(QColor Ed2Color READ ed2Color WRITE setEd2Color)

public:
    // The height every code edit is made with.
    static constexpr int DefaultHeight = 20;

    int segmentCount() const { return int(m_segments.size()); }
    // Segment k, 1 <= k <= segmentCount().
    QLineEdit* segment(int k) const;

    QString edText(int k) const;
    void setEdText(int k, const QString& text);
    int edMaxLen(int k) const;
    void setEdMaxLen(int k, int length);
    QFont edFont(int k) const;
    void setEdFont(int k, const QFont& font);
    QColor edColor(int k) const;
    void setEdColor(int k, const QColor& color);

    QString ed1Text() const { return edText(1); }
    void setEd1Text(const QString& t) { setEdText(1, t); }
    QString ed2Text() const { return edText(2); }
    void setEd2Text(const QString& t) { setEdText(2, t); }
    int ed1MaxLen() const { return edMaxLen(1); }
    void setEd1MaxLen(int n) { setEdMaxLen(1, n); }
    int ed2MaxLen() const { return edMaxLen(2); }
    void setEd2MaxLen(int n) { setEdMaxLen(2, n); }
    QFont ed1Font() const { return edFont(1); }
    void setEd1Font(const QFont& f) { setEdFont(1, f); }
    QFont ed2Font() const { return edFont(2); }
    void setEd2Font(const QFont& f) { setEdFont(2, f); }
    QColor ed1Color() const { return edColor(1); }
    void setEd1Color(const QColor& c) { setEdColor(1, c); }
    QColor ed2Color() const { return edColor(2); }
    void setEd2Color(const QColor& c) { setEdColor(2, c); }

    // The segments in order, each padded with blanks up to its maximum
    // length; a segment without a maximum length is taken as it is.
    QString text() const;
    // With no maximum length on segment 1 the whole text goes there.
    // Otherwise segment k takes its own stretch of the text (the characters
    // after the earlier segments' maximum lengths, as many as its own
    // maximum length) without the blanks at its end, which text() pads back;
    // a stretch past the end of the text leaves the segment empty. So a text
    // of the full width reads back character for character, blanks before
    // and inside a segment included. Writing moves neither the focus nor
    // the caret to another segment; only typing does.
    void setText(const QString& text);

    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    QColor color() const;
    void setColor(const QColor& color);

    QSize sizeHint() const override { return m_hint; }

signals:
    // OnChange: the text of a segment has changed.
    void changed();

protected:
    TSegmentedEdit(int segments, int width, QWidget* parent);

    // Gives the control the width it has in the windows (and as its size
    // hint) and lays the segments out at once.
    void setDesignWidth(int width);
    // Called with every key pressed in a segment before the segment sees it.
    virtual void segmentKeyPress(QKeyEvent* event) { Q_UNUSED(event); }

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void segmentTyped(int k);
    void applyPalette(int k);
    void layoutSegments();

    QWidget* m_inside = nullptr;  // the area inside the bevel
    std::vector<QLineEdit*> m_segments;
    std::vector<int> m_maxLen;
    std::vector<QColor> m_textColor;  // invalid: the palette's own
    QColor m_background;              // invalid: the palette's own
    QSize m_hint;
};

// Organization (3 + 2) and purpose (2 + 1) codes.
class TOrgEdit : public TSegmentedEdit {
    Q_OBJECT
public:
    explicit TOrgEdit(QWidget* parent = nullptr);

    // Organization: lengths 3 and 2, blue and green, 68 pixels wide.
    void configureOrganization();
    // Purpose: lengths 2 and 1, blue and green, 68 (or 48) pixels wide.
    void configurePurpose(int width = 68);

    static TOrgEdit* createOrganization(QWidget* parent = nullptr);
    static TOrgEdit* createPurpose(QWidget* parent = nullptr, int width = 68);
};

// Budget classification codes, 4 + 3 + 3 + 3 + 6.
class TCBCEdit : public TSegmentedEdit {
    Q_OBJECT
    Q_PROPERTY(QString Ed3Text READ ed3Text WRITE setEd3Text NOTIFY changed)
    Q_PROPERTY(QString Ed4Text READ ed4Text WRITE setEd4Text NOTIFY changed)
    Q_PROPERTY(QString Ed5Text READ ed5Text WRITE setEd5Text NOTIFY changed)
    Q_PROPERTY(int Ed3MaxLen READ ed3MaxLen WRITE setEd3MaxLen)
    Q_PROPERTY(int Ed4MaxLen READ ed4MaxLen WRITE setEd4MaxLen)
    Q_PROPERTY(int Ed5MaxLen READ ed5MaxLen WRITE setEd5MaxLen)
    Q_PROPERTY(QFont Ed3Font READ ed3Font WRITE setEd3Font)
    Q_PROPERTY(QFont Ed4Font READ ed4Font WRITE setEd4Font)
    Q_PROPERTY(QFont Ed5Font READ ed5Font WRITE setEd5Font)
    Q_PROPERTY(QColor Ed3Color READ ed3Color WRITE setEd3Color)
    Q_PROPERTY(QColor Ed4Color READ ed4Color WRITE setEd4Color)
    Q_PROPERTY(QColor Ed5Color READ ed5Color WRITE setEd5Color)

public:
    explicit TCBCEdit(QWidget* parent = nullptr);

    // Budget classification: lengths 4, 3, 3, 3, 6 in the window text
    // colour, blue, purple, maroon and teal, 233 pixels wide.
    void configureCode();

    static TCBCEdit* createCode(QWidget* parent = nullptr);

    QString ed3Text() const { return edText(3); }
    void setEd3Text(const QString& t) { setEdText(3, t); }
    QString ed4Text() const { return edText(4); }
    void setEd4Text(const QString& t) { setEdText(4, t); }
    QString ed5Text() const { return edText(5); }
    void setEd5Text(const QString& t) { setEdText(5, t); }
    int ed3MaxLen() const { return edMaxLen(3); }
    void setEd3MaxLen(int n) { setEdMaxLen(3, n); }
    int ed4MaxLen() const { return edMaxLen(4); }
    void setEd4MaxLen(int n) { setEdMaxLen(4, n); }
    int ed5MaxLen() const { return edMaxLen(5); }
    void setEd5MaxLen(int n) { setEdMaxLen(5, n); }
    QFont ed3Font() const { return edFont(3); }
    void setEd3Font(const QFont& f) { setEdFont(3, f); }
    QFont ed4Font() const { return edFont(4); }
    void setEd4Font(const QFont& f) { setEdFont(4, f); }
    QFont ed5Font() const { return edFont(5); }
    void setEd5Font(const QFont& f) { setEdFont(5, f); }
    QColor ed3Color() const { return edColor(3); }
    void setEd3Color(const QColor& c) { setEdColor(3, c); }
    QColor ed4Color() const { return edColor(4); }
    void setEd4Color(const QColor& c) { setEdColor(4, c); }
    QColor ed5Color() const { return edColor(5); }
    void setEd5Color(const QColor& c) { setEdColor(5, c); }

signals:
    // OnKeyDown: a key was pressed in one of the segments (Qt::Key code and
    // the modifiers), raised before the segment handles the key.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void segmentKeyPress(QKeyEvent* event) override;
};

// The budget classification code edit with the small captions "Р.П.",
// "Глава", "Цел.ст.", "В.Р.", "Эк.стат." over its five segments: a box of
// two rows, the captions and a line that holds `e` and what is added to
// the returned layout (a browse button).
class QHBoxLayout;
QWidget* captionedCode(TCBCEdit* e, QHBoxLayout** line = nullptr);
