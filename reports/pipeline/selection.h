#pragma once
// What every report shares: the selection dialog (period, organization,
// budget classification code and purpose, each with a tick box, an edit and
// a browse button), the masks and the period test, the record filters built
// from them, the header texts and the group sum.
#include <QDate>
#include <QDialog>
#include <QString>

#include "reports/pipeline/selection_value.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QVBoxLayout;
class TCBCEdit;
class TOrgEdit;
class TSegmentedEdit;

namespace store { class Table; }
namespace ui { class DateEdit; }
namespace books { class TBookSelectForm; }

namespace reports {

// The date of a date edit: its text as shown, the null date (30.12.1899,
// before every real date) when empty or not a date.
QDate EditDate(const ui::DateEdit& e);

// The pickers the browse buttons open.
struct Pickers {
    books::TBookSelectForm* org = nullptr;
    books::TBookSelectForm* cbc = nullptr;
    books::TBookSelectForm* law = nullptr;
};

class TSelectionDialog : public QDialog {
    Q_OBJECT
public:
    enum Group { Period = 1, Organization = 2, Code = 4, Purpose = 8, AllGroups = 15 };

    TSelectionDialog(const QString& caption, int groups, QWidget* parent = nullptr);

    void setPickers(const Pickers& p) { pickers_ = p; }

    // The selection the dialog shows, as a value; and the dialog set from one.
    virtual Selection selection() const;
    void setSelection(const Selection& s);

    QGroupBox *PeriodGroup = nullptr, *OrgGroup = nullptr, *CBCGroup = nullptr, *LawGroup = nullptr;
    QCheckBox* PerCheckBox = nullptr;
    ui::DateEdit *StartDateEdit = nullptr, *EndDateEdit = nullptr;
    QCheckBox* OrgCheckBox = nullptr;
    TOrgEdit* OrgEditField = nullptr;
    QPushButton* ORGBrowse = nullptr;
    QCheckBox* CBCCheckBox = nullptr;
    TCBCEdit* CBCEditField = nullptr;
    QPushButton* CBCBrowse = nullptr;
    QCheckBox* LawCheckBox = nullptr;
    TOrgEdit* LawEditField = nullptr;
    QPushButton* LawBrowse = nullptr;
    QPushButton* ReportOkButton;
    QPushButton* CancelButton;
    QStatusBar* StatusBar1;

    // Ticking a box over a blank edit fills the edit with asterisks.
    void OrgCheckBoxClick();
    void CBCCheckBoxClick();
    void LawCheckBoxClick();
    // The picker of the book; on OK its current code goes into the edit.
    void ORGBrowseClick();
    void CBCBrowseClick();
    void LawBrowseClick();

    // The record filters, row by row, as the table store calls them.
    bool FilterT2_1(store::Table& t) const;
    bool FilterT2_2(store::Table& t) const;
    bool periodAccepts(const QDate& d) const;
    // The same selections as filter expressions the store runs in SQL (an
    // empty text selects everything).
    QString filterExpressionT2_1() const;
    QString filterExpressionT2_2() const;

    // The header texts of the title band.
    QString periodText() const;
    QString orgText() const;
    QString cbcText() const;
    QString lawText() const;

    bool periodTicked() const;
    bool orgTicked() const;
    bool cbcTicked() const;
    bool lawTicked() const;

protected:
    QGroupBox* addGroup(const QString& title);
    Pickers pickers_;

private:
    void fillBlank(QCheckBox* box, TSegmentedEdit* e, int width);
    void browse(books::TBookSelectForm* picker, TSegmentedEdit* e);
    QVBoxLayout* groups_;
};

} // namespace reports
