// The code edits (organization, purpose and budget classification codes)
// driven with real key and mouse events in a shown, active window: the jump
// to the next segment, the assembled code in both directions, OnChange and
// OnKeyDown, tab order, focus and the layout of the segments.
#include "tests/gui.h"
#include "core/ui/codeedit.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <functional>

namespace {

QLineEdit* focused()
{
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

// Types each character into whatever has the focus at that moment, as a
// keyboard does.
void type(const QString& keys)
{
    for (QChar c : keys) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY2(w, "nothing has the focus");
        QTest::keyClicks(w, QString(c));
    }
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* w = QApplication::focusWidget();
    QVERIFY2(w, "nothing has the focus");
    QTest::keyClick(w, key, modifiers);
}

QStringList segmentTexts(const TSegmentedEdit& e)
{
    QStringList l;
    for (int k = 1; k <= e.segmentCount(); ++k)
        l << e.edText(k);
    return l;
}

QColor plainEditBase()
{
    QLineEdit plain;
    return plain.palette().color(QPalette::Active, QPalette::Base);
}

QColor plainEditText()
{
    QLineEdit plain;
    return plain.palette().color(QPalette::Active, QPalette::Text);
}

// A window with an ordinary edit before the code edit and one after it.
template <class E>
struct Form : QWidget {
    QLineEdit* before;
    E* edit;
    QLineEdit* after;

    explicit Form(const std::function<void(E&)>& configure = {})
    {
        before = new QLineEdit(this);
        before->setObjectName(QStringLiteral("before"));
        before->setGeometry(10, 10, 80, 20);
        edit = new E(this);
        if (configure)
            configure(*edit);
        edit->move(10, 40);
        after = new QLineEdit(this);
        after->setObjectName(QStringLiteral("after"));
        after->setGeometry(10, 70, 80, 20);
        resize(300, 100);
    }

    bool open()
    {
        show();
        return gui::activate(this);
    }
};

using OrgForm = Form<TOrgEdit>;
using CodeForm = Form<TCBCEdit>;

const auto organization = [](TOrgEdit& e) { e.configureOrganization(); };
const auto purpose = [](TOrgEdit& e) { e.configurePurpose(); };
const auto code = [](TCBCEdit& e) { e.configureCode(); };

}  // namespace

class TestCodeEdit : public QObject {
    Q_OBJECT

private slots:
    void newControls();
    void configurations();
    void typingFillsSegmentsAndMovesOn();
    void typingOverAnOldCodeReplacesIt();
    void textReadPadsSegments();
    void textWriteSplitsByLengths_data();
    void textWriteSplitsByLengths();
    void segmentsWithoutMaximumLength();
    void changeRaisedForEachChangedSegment();
    void readOnlyAndColorCoverEverySegment();
    void keyDownOfCodeEdit();
    void backspaceAndTabBetweenSegments();
    void focusAndMouse();
    void hiddenControlDoesNotTakeFocus();
    void writesLeaveTheCaretWhereItIs();
    void layoutSlots();
};

void TestCodeEdit::newControls()
{
    QWidget parent;
    TOrgEdit* org = new TOrgEdit(&parent);
    TCBCEdit* cbc = new TCBCEdit(&parent);
    const QList<std::pair<TSegmentedEdit*, int>> made = {{org, 100}, {cbc, 200}};
    for (auto [e, width] : made) {
        QVERIFY(e->isEnabled());
        QVERIFY(!e->isHidden());
        QVERIFY(e->focusPolicy() & Qt::TabFocus);
        QCOMPARE(e->frameShape(), QFrame::Box);
        QCOMPARE(e->frameShadow(), QFrame::Sunken);
        QVERIFY(e->frameWidth() > 0);
        QCOMPARE(e->size(), QSize(width, 20));
        QCOMPARE(e->sizeHint(), QSize(width, 20));
        QVERIFY(!e->isReadOnly());
        QCOMPARE(e->color(), plainEditBase());
        QCOMPARE(e->text(), QString());
        for (int k = 1; k <= e->segmentCount(); ++k) {
            QLineEdit* s = e->segment(k);
            QVERIFY(e->isAncestorOf(s));
            QVERIFY(s->isEnabled());
            QVERIFY(!s->isHidden());
            QVERIFY(s->focusPolicy() & Qt::TabFocus);
            QVERIFY(!s->hasFrame());
            QCOMPARE(e->edMaxLen(k), 0);
            QCOMPARE(e->edColor(k), plainEditText());
        }
    }
    QCOMPARE(org->segmentCount(), 2);
    QCOMPARE(cbc->segmentCount(), 5);

    // Every property is there by name, for both widths of code.
    for (const char* name : {"Text", "ReadOnly", "Color", "Ed1Text", "Ed2Text", "Ed1MaxLen",
                             "Ed2MaxLen", "Ed1Font", "Ed2Font", "Ed1Color", "Ed2Color"}) {
        QVERIFY2(org->metaObject()->indexOfProperty(name) >= 0, name);
        QVERIFY2(cbc->metaObject()->indexOfProperty(name) >= 0, name);
    }
    for (int k = 3; k <= 5; ++k) {
        for (const char* what : {"Text", "MaxLen", "Font", "Color"}) {
            const QByteArray name = "Ed" + QByteArray::number(k) + what;
            QVERIFY2(cbc->metaObject()->indexOfProperty(name) >= 0, name);
            QVERIFY2(org->metaObject()->indexOfProperty(name) < 0, name);
        }
    }
    QVERIFY(cbc->setProperty("Ed5MaxLen", 6));
    QVERIFY(cbc->setProperty("Ed5Text", QStringLiteral("ЖЗИЙКЛМ")));
    QCOMPARE(cbc->ed5Text(), QStringLiteral("ЖЗИЙКЛ"));
    QVERIFY(org->setProperty("Text", QStringLiteral("ab")));
    QCOMPARE(org->property("Ed1Text").toString(), QStringLiteral("ab"));
}

void TestCodeEdit::configurations()
{
    TOrgEdit o;
    o.configureOrganization();
    QCOMPARE(o.ed1MaxLen(), 3);
    QCOMPARE(o.ed2MaxLen(), 2);
    QCOMPARE(o.ed1Color(), QColor(0, 0, 255));
    QCOMPARE(o.ed2Color(), QColor(0, 128, 0));
    QCOMPARE(o.size(), QSize(68, 20));
    QCOMPARE(o.sizeHint(), QSize(68, 20));

    std::unique_ptr<TOrgEdit> p68(TOrgEdit::createPurpose());
    std::unique_ptr<TOrgEdit> p48(TOrgEdit::createPurpose(nullptr, 48));
    for (auto* p : {p68.get(), p48.get()}) {
        QCOMPARE(p->ed1MaxLen(), 2);
        QCOMPARE(p->ed2MaxLen(), 1);
        QCOMPARE(p->ed1Color(), QColor(0, 0, 255));
        QCOMPARE(p->ed2Color(), QColor(0, 128, 0));
    }
    QCOMPARE(p68->size(), QSize(68, 20));
    QCOMPARE(p48->size(), QSize(48, 20));

    std::unique_ptr<TCBCEdit> c(TCBCEdit::createCode());
    QCOMPARE(c->size(), QSize(233, 20));
    const int lengths[] = {4, 3, 3, 3, 6};
    const QColor colors[] = {plainEditText(), QColor(0, 0, 255), QColor(128, 0, 128),
                             QColor(128, 0, 0), QColor(0, 128, 128)};
    for (int k = 1; k <= 5; ++k) {
        QCOMPARE(c->edMaxLen(k), lengths[k - 1]);
        QCOMPARE(c->edColor(k), colors[k - 1]);
    }

    // Configuring again gives the same edit whatever was set before.
    TCBCEdit again;
    again.setEd1Color(Qt::red);
    again.setEd3MaxLen(1);
    again.configureCode();
    for (int k = 1; k <= 5; ++k) {
        QCOMPARE(again.edMaxLen(k), lengths[k - 1]);
        QCOMPARE(again.edColor(k), colors[k - 1]);
    }
}

void TestCodeEdit::typingFillsSegmentsAndMovesOn()
{
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    e->setFocus();
    QCOMPARE(focused(), e->segment(1));

    type(QStringLiteral("12"));
    QCOMPARE(focused(), e->segment(1));
    type(QStringLiteral("3"));
    QCOMPARE(focused(), e->segment(2));
    QCOMPARE(e->text(), QStringLiteral("123  "));
    type(QStringLiteral("4"));
    QCOMPARE(e->ed1Text(), QStringLiteral("123"));
    QCOMPARE(e->ed2Text(), QStringLiteral("4"));
    QCOMPARE(e->text(), QStringLiteral("1234 "));
    // The last segment fills up and keeps the caret; more keys are refused.
    type(QStringLiteral("56"));
    QCOMPARE(focused(), e->segment(2));
    QCOMPARE(e->text(), QStringLiteral("12345"));

    // A purpose code: one keystroke fills the second part.
    OrgForm p(purpose);
    QVERIFY(p.open());
    p.edit->setFocus();
    type(QStringLiteral("12"));
    QCOMPARE(focused(), p.edit->segment(2));
    QCOMPARE(p.edit->text(), QStringLiteral("12 "));
    type(QStringLiteral("34"));
    QCOMPARE(p.edit->text(), QStringLiteral("123"));

    // A whole budget classification typed in one go runs through all five.
    CodeForm c(code);
    QVERIFY(c.open());
    c.edit->setFocus();
    type(QStringLiteral("1234567890123456789"));
    QCOMPARE(segmentTexts(*c.edit), QStringList({"1234", "567", "890", "123", "456789"}));
    QCOMPARE(c.edit->text(), QStringLiteral("1234567890123456789"));
    QCOMPARE(focused(), c.edit->segment(5));
}

void TestCodeEdit::typingOverAnOldCodeReplacesIt()
{
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    e->setText(QStringLiteral("12345"));
    f.before->setFocus();
    press(Qt::Key_Tab);  // into segment 1, all of it selected
    QCOMPARE(focused(), e->segment(1));
    type(QStringLiteral("987"));
    // The caret arrived in a full segment 2, whose old text gives way.
    QCOMPARE(focused(), e->segment(2));
    type(QStringLiteral("65"));
    QCOMPARE(e->text(), QStringLiteral("98765"));
}

void TestCodeEdit::textReadPadsSegments()
{
    TOrgEdit org;
    org.configureOrganization();
    QCOMPARE(org.text(), QStringLiteral("     "));
    org.setEd1Text(QStringLiteral("1"));
    org.setEd2Text(QStringLiteral("4"));
    QCOMPARE(org.text(), QStringLiteral("1  4 "));

    TOrgEdit pur;
    pur.configurePurpose();
    pur.setEd1Text(QStringLiteral("12"));
    QCOMPARE(pur.text(), QStringLiteral("12 "));

    TCBCEdit cbc;
    cbc.configureCode();
    cbc.setEd2Text(QStringLiteral("1"));
    cbc.setEd5Text(QStringLiteral("Б"));
    QCOMPARE(cbc.text(), QStringLiteral("    1  ") + QStringLiteral("      ") + QStringLiteral("Б     "));
    QCOMPARE(cbc.text().size(), 19);

    // Segments without a maximum length are taken as they are.
    TOrgEdit plain;
    plain.setEd1Text(QStringLiteral("ab"));
    plain.setEd2Text(QStringLiteral("c"));
    QCOMPARE(plain.text(), QStringLiteral("abc"));
    plain.setEd1MaxLen(3);
    QCOMPARE(plain.text(), QStringLiteral("ab c"));
}

void TestCodeEdit::textWriteSplitsByLengths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("organization whole") << "org" << "12345" << QStringList{"123", "45"} << "12345";
    QTest::newRow("organization blank inside") << "org" << "12 4" << QStringList{"12", "4"} << "12 4 ";
    QTest::newRow("organization one character") << "org" << "1" << QStringList{"1", ""} << "1    ";
    QTest::newRow("organization empty") << "org" << "" << QStringList{"", ""} << "     ";
    QTest::newRow("organization too long") << "org" << "1234567" << QStringList{"123", "45"} << "12345";
    // Blanks before and inside a segment are the code's own (a mask such as
    // " 1*"): a text of the full width comes back as written.
    QTest::newRow("organization blanks around") << "org" << " 2  5" << QStringList{" 2", " 5"} << " 2  5";
    QTest::newRow("organization mask led by a blank") << "org" << " 1*" << QStringList{" 1*", ""} << " 1*  ";
    QTest::newRow("organization blanks in both parts") << "org" << "1 * 2" << QStringList{"1 *", " 2"} << "1 * 2";
    QTest::newRow("purpose mask led by a blank") << "purpose" << " 1*" << QStringList{" 1", "*"} << " 1*";
    QTest::newRow("code mask with blanks") << "code" << " 7*1  1  *  * 21 * "
                                           << QStringList{" 7*1", "  1", "  *", "  *", " 21 *"}
                                           << " 7*1  1  *  * 21 * ";
    QTest::newRow("organization all blanks") << "org" << "     " << QStringList{"", ""} << "     ";
    QTest::newRow("purpose") << "purpose" << "123" << QStringList{"12", "3"} << "123";
    QTest::newRow("purpose short") << "purpose" << "12" << QStringList{"12", ""} << "12 ";
    QTest::newRow("code whole") << "code" << "ABCDEFGHIJKLMNOPQRS"
                                << QStringList{"ABCD", "EFG", "HIJ", "KLM", "NOPQRS"}
                                << "ABCDEFGHIJKLMNOPQRS";
    QTest::newRow("code shorter than segment 1")
        << "code" << "AB" << QStringList{"AB", "", "", "", ""} << QStringLiteral("AB") + QString(17, ' ');
    QTest::newRow("code ends inside segment 3")
        << "code" << "АБВГДЕЖЗ" << QStringList{"АБВГ", "ДЕЖ", "З", "", ""}
        << QStringLiteral("АБВГДЕЖЗ") + QString(11, ' ');
}

void TestCodeEdit::textWriteSplitsByLengths()
{
    QFETCH(QString, kind);
    QFETCH(QString, written);
    QFETCH(QStringList, segments);
    QFETCH(QString, readBack);

    std::unique_ptr<TSegmentedEdit> e;
    if (kind == "org")
        e.reset(TOrgEdit::createOrganization());
    else if (kind == "purpose")
        e.reset(TOrgEdit::createPurpose());
    else
        e.reset(TCBCEdit::createCode());
    // Whatever was there before is replaced, segments left empty included.
    for (int k = 1; k <= e->segmentCount(); ++k)
        e->setEdText(k, QStringLiteral("x"));

    e->setText(written);
    QCOMPARE(segmentTexts(*e), segments);
    QCOMPARE(e->text(), readBack);
    // Each part shows from its beginning.
    for (int k = 1; k <= e->segmentCount(); ++k)
        QCOMPARE(e->segment(k)->cursorPosition(), 0);
    // What was read writes back to the same segments.
    e->setText(e->text());
    QCOMPARE(segmentTexts(*e), segments);
}

void TestCodeEdit::segmentsWithoutMaximumLength()
{
    // No maximum on segment 1: the whole text goes there, untouched, and the
    // other segments keep theirs.
    TOrgEdit e;
    e.setEd2MaxLen(2);
    e.setEd2Text(QStringLiteral("zz"));
    e.setText(QStringLiteral(" 12345 67"));
    QCOMPARE(e.ed1Text(), QStringLiteral(" 12345 67"));
    QCOMPARE(e.ed2Text(), QStringLiteral("zz"));
    QCOMPARE(e.text(), QStringLiteral(" 12345 67zz"));

    // A later segment without a maximum has no stretch of the text to take.
    TOrgEdit g;
    g.setEd1MaxLen(3);
    g.setEd2Text(QStringLiteral("zz"));
    g.setText(QStringLiteral("12345"));
    QCOMPARE(g.ed1Text(), QStringLiteral("123"));
    QCOMPARE(g.ed2Text(), QString());

    // Typing into an unlimited segment never jumps on, not even when it is
    // emptied again.
    OrgForm f;
    QVERIFY(f.open());
    f.edit->setFocus();
    type(QStringLiteral("1234567890"));
    QCOMPARE(f.edit->ed1Text(), QStringLiteral("1234567890"));
    QCOMPARE(focused(), f.edit->segment(1));
    for (int i = 0; i < 10; ++i)
        press(Qt::Key_Backspace);
    QCOMPARE(f.edit->ed1Text(), QString());
    QCOMPARE(focused(), f.edit->segment(1));
}

void TestCodeEdit::changeRaisedForEachChangedSegment()
{
    std::unique_ptr<TCBCEdit> c(TCBCEdit::createCode());
    QSignalSpy spy(c.get(), &TSegmentedEdit::changed);
    c->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRS"));
    QCOMPARE(spy.count(), 5);
    spy.clear();
    c->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRS"));
    QCOMPARE(spy.count(), 0);
    c->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRZ"));
    QCOMPARE(spy.count(), 1);
    spy.clear();
    c->setText(QStringLiteral("ABCDEFG"));  // segments 3 to 5 emptied
    QCOMPARE(spy.count(), 3);
    spy.clear();
    c->setEd4Text(QStringLiteral("1"));
    c->setEd4Text(QStringLiteral("1"));
    QVERIFY(c->setProperty("Ed5Text", QStringLiteral("2")));
    QCOMPARE(spy.count(), 2);

    // Typing raises it for every character, the jump coming first.
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    QStringList seen;
    QList<QWidget*> focusAt;
    connect(e, &TSegmentedEdit::changed, e, [&] {
        seen << e->text();
        focusAt << QApplication::focusWidget();
    });
    e->setFocus();
    type(QStringLiteral("1234"));
    QCOMPARE(seen, QStringList({"1    ", "12   ", "123  ", "1234 "}));
    QCOMPARE(focusAt, QList<QWidget*>({e->segment(1), e->segment(1), e->segment(2), e->segment(2)}));

    // A write of Text: segment 1 changes before segment 2 is written, and
    // the focus stays where it was.
    seen.clear();
    focusAt.clear();
    f.after->setFocus();
    e->setText(QStringLiteral("98765"));
    QCOMPARE(seen, QStringList({"9874 ", "98765"}));
    QCOMPARE(focusAt, QList<QWidget*>({f.after, f.after}));
}

void TestCodeEdit::readOnlyAndColorCoverEverySegment()
{
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    e->setText(QStringLiteral("12345"));

    e->setReadOnly(true);
    QVERIFY(e->isReadOnly());
    QVERIFY(e->segment(1)->isReadOnly());
    QVERIFY(e->segment(2)->isReadOnly());
    QSignalSpy spy(e, &TSegmentedEdit::changed);
    e->segment(1)->setFocus();
    type(QStringLiteral("9"));
    press(Qt::Key_Backspace);
    e->segment(2)->setFocus();
    type(QStringLiteral("9"));
    QCOMPARE(e->text(), QStringLiteral("12345"));
    QCOMPARE(spy.count(), 0);

    // Read from segment 1 alone.
    e->segment(1)->setReadOnly(false);
    QVERIFY(!e->isReadOnly());
    QVERIFY(!e->property("ReadOnly").toBool());
    e->segment(1)->setReadOnly(true);
    e->segment(2)->setReadOnly(false);
    QVERIFY(e->isReadOnly());
    QVERIFY(e->setProperty("ReadOnly", false));
    QVERIFY(!e->segment(1)->isReadOnly() && !e->segment(2)->isReadOnly());

    // Colour: the background of every segment; the text colours stay.
    const QColor yellow(255, 255, 0);
    e->setColor(yellow);
    QCOMPARE(e->color(), yellow);
    for (int k = 1; k <= 2; ++k)
        QCOMPARE(e->segment(k)->palette().color(QPalette::Active, QPalette::Base), yellow);
    QCOMPARE(e->ed1Color(), QColor(0, 0, 255));
    QCOMPARE(e->ed2Color(), QColor(0, 128, 0));
    e->setEd2Color(Qt::red);
    QCOMPARE(e->segment(2)->palette().color(QPalette::Active, QPalette::Base), yellow);
    QCOMPARE(e->ed2Color(), QColor(Qt::red));
    QVERIFY(e->setProperty("Color", QColor(Qt::cyan)));
    QCOMPARE(e->segment(2)->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::cyan));

    // Read from segment 1 alone.
    QPalette p = e->segment(1)->palette();
    p.setColor(QPalette::Base, Qt::magenta);
    e->segment(1)->setPalette(p);
    QCOMPARE(e->color(), QColor(Qt::magenta));
}

void TestCodeEdit::keyDownOfCodeEdit()
{
    CodeForm f(code);
    QVERIFY(f.open());
    TCBCEdit* e = f.edit;
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        QWidget* in;
        QString textBefore;
    };
    QList<Key> keys;
    connect(e, &TCBCEdit::keyDown, e, [&](int key, Qt::KeyboardModifiers m) {
        auto* s = focused();
        keys << Key{key, m, s, s ? s->text() : QString()};
    });

    for (int k = 1; k <= 5; ++k) {
        keys.clear();
        e->segment(k)->setFocus();
        QTest::keyClick(focused(), 'A', Qt::ShiftModifier);
        press(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_F2);
        // The modifier keys themselves are keys too, pressed first.
        const QList<int> expected{Qt::Key_Shift, Qt::Key_A, Qt::Key_Shift, Qt::Key_Control,
                                  Qt::Key_Home, Qt::Key_F2};
        QList<int> got;
        for (const Key& key : keys)
            got << key.key;
        QCOMPARE(got, expected);
        for (const Key& key : keys)
            QCOMPARE(key.in, e->segment(k));
        QCOMPARE(keys[1].modifiers, Qt::ShiftModifier);
        // Raised before the segment takes the key.
        QCOMPARE(keys[1].textBefore, QString());
        QCOMPARE(e->edText(k), QStringLiteral("A"));
        QCOMPARE(keys[4].modifiers, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(keys[5].modifiers, Qt::NoModifier);
    }

    // Tab is a key like the others, seen in the segment it leaves.
    keys.clear();
    e->segment(2)->setFocus();
    press(Qt::Key_Tab);
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys[0].key, int(Qt::Key_Tab));
    QCOMPARE(keys[0].in, e->segment(2));
    QCOMPARE(focused(), e->segment(3));

    // Keys outside the control are not its own.
    keys.clear();
    f.after->setFocus();
    type(QStringLiteral("12"));
    QCOMPARE(keys.size(), 0);

    // A whole code typed: one OnKeyDown per key, through all the segments.
    e->setText(QString());
    e->setFocus();
    type(QStringLiteral("1234567890123456789"));
    QCOMPARE(keys.size(), 19);
    QCOMPARE(keys.last().in, e->segment(5));
}

void TestCodeEdit::backspaceAndTabBetweenSegments()
{
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    e->setFocus();
    type(QStringLiteral("12345"));
    QCOMPARE(focused(), e->segment(2));
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    QCOMPARE(e->ed2Text(), QString());
    // At the start of segment 2 Backspace does nothing and stays.
    press(Qt::Key_Backspace);
    QCOMPARE(focused(), e->segment(2));
    QCOMPARE(e->ed1Text(), QStringLiteral("123"));
    type(QStringLiteral("4"));
    press(Qt::Key_Home);
    press(Qt::Key_Backspace);
    QCOMPARE(focused(), e->segment(2));
    QCOMPARE(e->text(), QStringLiteral("1234 "));

    // Tab and Shift+Tab walk the segments as ordinary edits.
    f.before->setFocus();
    press(Qt::Key_Tab);
    QCOMPARE(focused(), e->segment(1));
    press(Qt::Key_Tab);
    QCOMPARE(focused(), e->segment(2));
    press(Qt::Key_Tab);
    QCOMPARE(focused(), f.after);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focused(), e->segment(2));

    CodeForm c(code);
    QVERIFY(c.open());
    c.before->setFocus();
    QList<QWidget*> forward{c.before};
    for (int k = 1; k <= 5; ++k)
        forward << c.edit->segment(k);
    forward << c.after;
    for (int i = 1; i < forward.size(); ++i) {
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), forward[i]);
    }
    for (int i = forward.size() - 2; i >= 0; --i) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), forward[i]);
    }
}

void TestCodeEdit::focusAndMouse()
{
    CodeForm f(code);
    QVERIFY(f.open());
    TCBCEdit* e = f.edit;
    f.after->setFocus();
    e->setFocus();
    QCOMPARE(focused(), e->segment(1));
    QVERIFY(e->hasFocus());

    // The mouse goes straight into any segment.
    QTest::mouseClick(e->segment(4), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(focused(), e->segment(4));
    type(QStringLiteral("77"));
    QCOMPARE(e->ed4Text(), QStringLiteral("77"));
    QTest::mouseClick(e->segment(2), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(focused(), e->segment(2));
    e->setFocus();
    QCOMPARE(focused(), e->segment(1));
}

void TestCodeEdit::hiddenControlDoesNotTakeFocus()
{
    OrgForm f(organization);
    TOrgEdit* hidden = TOrgEdit::createOrganization(&f);
    hidden->move(120, 40);
    hidden->hide();
    TOrgEdit* disabled = TOrgEdit::createOrganization(&f);
    disabled->move(200, 40);
    disabled->setEnabled(false);

    // Before the window is shown nothing is focused by a write.
    f.edit->setText(QStringLiteral("12345"));
    QCOMPARE(f.edit->text(), QStringLiteral("12345"));

    QVERIFY(f.open());
    f.before->setFocus();
    QCOMPARE(focused(), f.before);
    hidden->setText(QStringLiteral("12345"));
    QCOMPARE(hidden->text(), QStringLiteral("12345"));
    QCOMPARE(focused(), f.before);
    disabled->setText(QStringLiteral("67890"));
    QCOMPARE(disabled->text(), QStringLiteral("67890"));
    QCOMPARE(focused(), f.before);

    // Nor does a write into a control on screen.
    f.edit->setText(QStringLiteral("99999"));
    QCOMPARE(focused(), f.before);
}

void TestCodeEdit::writesLeaveTheCaretWhereItIs()
{
    // A code put in while the caret is in the control (a pick from a book,
    // a tick that fills the edit with asterisks) leaves it in its segment.
    OrgForm f(organization);
    QVERIFY(f.open());
    TOrgEdit* e = f.edit;
    e->setFocus();
    QCOMPARE(focused(), e->segment(1));
    e->setText(QStringLiteral("*****"));
    QCOMPARE(e->text(), QStringLiteral("*****"));
    QCOMPARE(focused(), e->segment(1));
    QVERIFY(e->setProperty("Ed1Text", QStringLiteral("123")));
    QCOMPARE(focused(), e->segment(1));
    // Typing on goes on as ever: the filled first segment hands on.
    press(Qt::Key_A, Qt::ControlModifier);
    type(QStringLiteral("456"));
    QCOMPARE(focused(), e->segment(2));

    CodeForm c(code);
    QVERIFY(c.open());
    c.edit->segment(3)->setFocus();
    c.edit->setText(QString(19, QLatin1Char('*')));
    QCOMPARE(focused(), c.edit->segment(3));
    QCOMPARE(c.edit->text(), QString(19, QLatin1Char('*')));

    // Blanks typed before a part stay as typed, and so does the whole code
    // written back into the control.
    OrgForm p(purpose);
    QVERIFY(p.open());
    p.edit->setFocus();
    type(QStringLiteral(" 1*"));
    QCOMPARE(p.edit->text(), QStringLiteral(" 1*"));
    QCOMPARE(focused(), p.edit->segment(2));
    p.edit->setText(p.edit->text());
    QCOMPARE(p.edit->ed1Text(), QStringLiteral(" 1"));
    QCOMPARE(p.edit->text(), QStringLiteral(" 1*"));
}

void TestCodeEdit::layoutSlots()
{
    // Laid out as soon as it is configured, before any showing.
    std::unique_ptr<TCBCEdit> hidden(TCBCEdit::createCode());
    for (int k = 1; k <= 5; ++k)
        QCOMPARE(hidden->segment(k)->geometry(), QRect((k - 1) * 46, 0, 46, 20));

    CodeForm c(code);
    OrgForm o(organization);
    QVERIFY(c.open());
    QVERIFY(o.open());
    // 233 = 5 * 46 + 3: the three pixels left over stay empty at the right.
    for (int k = 1; k <= 5; ++k)
        QCOMPARE(c.edit->segment(k)->geometry(), QRect((k - 1) * 46, 0, 46, 20));
    QCOMPARE(c.edit->width() - (c.edit->segment(5)->geometry().right() + 1), 3);
    // 68 = 2 * 34.
    QCOMPARE(o.edit->segment(1)->geometry(), QRect(0, 0, 34, 20));
    QCOMPARE(o.edit->segment(2)->geometry(), QRect(34, 0, 34, 20));

    // A resize lays the slots out again on the new size.
    o.edit->resize(101, 24);
    QTRY_COMPARE(o.edit->segment(2)->geometry(), QRect(50, 0, 50, 24));
    QCOMPARE(o.edit->segment(1)->geometry(), QRect(0, 0, 50, 24));
    c.edit->resize(204, 20);
    QTRY_COMPARE(c.edit->segment(5)->geometry(), QRect(160, 0, 40, 20));

    // The segments sit inside the bevel, which clips them.
    QWidget* inside = c.edit->segment(1)->parentWidget();
    QVERIFY(inside != c.edit);
    QCOMPARE(inside->geometry(), c.edit->contentsRect());
}

QTEST_MAIN(TestCodeEdit)
#include "tst_codeedit.moc"
