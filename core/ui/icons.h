#pragma once
// The program's image list: 19x19 pictures drawn once on first use.
//  0 personal accounts            9 financing of organizations
//  1 approved spending schedule  10 financing and credit remainders
//  2 organizations               11 report by purposes
//  3 budget classification codes 12 totals by economic articles
//  4 purposes (laws)             13 movement by purposes
//  5 income accounting           14 schedule execution
//  6 income/expense kinds        15 short report of accounts
//  7 income/expense report       16 schedule by accounts
//  8 report of accounts          17 correction notices
#include <QIcon>
#include <QPixmap>

namespace ui {

inline constexpr int ImageSize = 19;

enum ImageIndex {
    ImgAccounts = 0,
    ImgSchedule = 1,
    ImgOrganizations = 2,
    ImgBudgetCodes = 3,
    ImgPurposes = 4,
    ImgIncomeAccounting = 5,
    ImgIncomeKinds = 6,
    ImgIncomeReport = 7,
    ImgReportAccounts = 8,
    ImgReportFinancing = 9,
    ImgReportRemainders = 10,
    ImgReportPurposes = 11,
    ImgReportArticles = 12,
    ImgReportMovement = 13,
    ImgReportExecution = 14,
    ImgReportAccountsShort = 15,
    ImgReportScheduleAccounts = 16,
    ImgCorrections = 17,
};

int imageCount();
// Picture n of the list; a null pixmap outside 0..imageCount()-1.
QPixmap image(int n);
QIcon icon(int n);

} // namespace ui
