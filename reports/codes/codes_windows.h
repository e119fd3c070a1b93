#pragma once
// The windows of the reports over the budget classification codes.
#include "reports/codes/codes_reports.h"
#include "reports/pipeline/reportform.h"

#include <QObject>

class QCheckBox;
class QRadioButton;

namespace reports {

// "Финансирование и остатки кредитов организаций": the common selections,
// the quarters of the plan and the parts of the summary codes.
class TMDForm2 : public TSelectionDialog {
    Q_OBJECT
public:
    explicit TMDForm2(const ReportContext& ctx, QWidget* parent = nullptr);
    CreditRemaindersReport& report() { return report_; }
    Report& layout() { return report_.layout(); }

    // The choices as the report reads them.
    CreditSelection creditSelection() const;
    // The run for the choices shown, the wait window, the preview.
    void CreateAndShow();
    bool cancelled() const { return cancelled_; }
    int sumParts() const { return parts_; }

    QLabel* NoteLabel;
    QRadioButton *Quarter1RadioButton, *Quarter12RadioButton, *Quarter123RadioButton, *Quarter1234RadioButton;
    QCheckBox *RazdCheck, *PRazdCheck, *GlCheck, *CelStCheck, *VRCheck, *EcStCheck;

    void QuarterClick(int q);
    void PartClick(QCheckBox* box, int bit);

protected:
    void showEvent(QShowEvent* e) override;

private:
    ReportContext ctx_;
    CreditRemaindersReport report_;
    int parts_ = 0;
    int quarter_ = 4;
    bool cancelled_ = false;
};

// "Итоговое состояние средств по эк.статьям": no dialog; the run for the
// year of the settings dialog, the wait window, the preview.
class TMDForm4 : public QObject {
    Q_OBJECT
public:
    explicit TMDForm4(const ReportContext& ctx, QWidget* parent = nullptr);
    EconomicArticlesReport& report() { return report_; }
    Report& layout() { return report_.layout(); }
    void CreateAndShow();
    bool cancelled() const { return cancelled_; }

private:
    ReportContext ctx_;
    QWidget* parent_;
    EconomicArticlesReport report_;
    bool cancelled_ = false;
};

} // namespace reports
