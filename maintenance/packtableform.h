#pragma once
// The maintenance window: packs the tables of the year and the report work
// tables, one line after another, each line's mark turning from "pending"
// to "done" as it is packed.
#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;

namespace dm {
class TDataBase1;
}

namespace maintenance {

class TPackTableForm : public QDialog {
    Q_OBJECT
public:
    explicit TPackTableForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    QLabel *ImageOrg, *ImageLaw, *ImageCBC, *ImageT2_1, *ImageT2_2, *ImageT1, *ImageRep, *ImageDOrg, *ImageDin,
        *ImageDOut, *ImageSumTypeSpr;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // The 15x15 marks in the order of the lines; a mark's property "done"
    // tells which of its two pictures it shows.
    const std::vector<QLabel*>& marks() const { return marks_; }
    static bool markDone(const QLabel* mark);

    void FormActivate();
    void OkButtonClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void setMark(int line, bool done);

    dm::TDataBase1& db_;
    std::vector<QLabel*> marks_;
};

} // namespace maintenance
