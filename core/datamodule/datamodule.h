#pragma once
// TDataBase1: the one owner of the connection to the table store and of the
// twenty table objects. It reads prog.ini, prepares and opens the year
// database, installs the display and entry hooks and the calculated fields,
// re-reads tables on request and makes the backup copy of the year.
#include "core/datamodule/messages.h"
#include "core/datamodule/profile.h"
#include "core/store/session.h"
#include "core/store/table.h"

#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace dm {

// Defaults for a missing prog.ini or key.
inline constexpr char DefaultDataBaseDir[] = "DataBase\\";
inline constexpr int DefaultYear = 2003;
inline constexpr char DefaultUserName[] = "User1";
inline constexpr char DefaultLocalBaseDir[] = "Local\\";
// The years the settings take (the settings dialog's range).
inline constexpr int MinYear = 1987;
inline constexpr int MaxYear = 2099;

// A directory as written in prog.ini ("DataBase\2004\", "Acc2004") as a path of
// this system: a backslash is a separator; a relative path is taken from the
// current directory.
QString nativeDir(const QString& iniDir);

class TDataBase1 {
public:
    // iniPath: prog.ini beside the executable unless told otherwise. Runs
    // DataBaseCreate at once, so its message comes before any window.
    explicit TDataBase1(QString iniPath = config::Profile::defaultPath(), MessageFn msg = {});
    ~TDataBase1();
    TDataBase1(const TDataBase1&) = delete;
    TDataBase1& operator=(const TDataBase1&) = delete;

    // --- settings, read from prog.ini each time
    const QString& iniPath() const { return iniPath_; }
    config::Profile profile() const { return config::Profile(iniPath_); }
    QString DataBaseDir() const;
    int Year() const;
    QString UserName() const;
    QString LocalBaseDir() const;
    QString OrgName() const;
    QString Server() const;            // empty: the years are files of DataBaseDir
    QString yearDir(int year) const;   // DataBaseDir + year + "\", as written

    // --- operations
    // Reads prog.ini, creates the year from the template when missing, opens
    // the connection, the database and the year tables and installs the
    // hooks; or shows its message and leaves everything closed. Returns
    // whether the year is open. A template that cannot be copied is shown as
    // the program's errors are (an empty caption: the program's title; the
    // error icon) and leaves no year directory behind.
    bool DataBaseCreate();
    void OpenAllTable();
    void CloseAllTable();
    void EnableTableProcess();
    void DisableTableProcess();
    void SyncTable(store::Table& t);
    void SyncAllTables();
    // Copies every file of `source` into `destination` (created with its
    // parents), overwriting, keeping modification times. Database files are
    // copied as a consistent snapshot even while another copy writes.
    // Failures: "Cannot open file %s", "Cannot create file %s",
    // "Stream read error", "Stream write error"; the copy stops there.
    void CopyDir(const QString& source, const QString& destination);
    // The backup copy of the year into root\..\dd.MM.yyyy\year\. Returns true
    // when the copy was made. A year on the server is written there as a
    // year database file (store::dumpServerDatabase).
    bool BackCopyDataBase();
    void DataModuleDestroy();
    // Hooks off, the year tables, the database and the connection closed
    // (before the settings change).
    void CloseDataBase() { closeConnection(); }
    // A lost connection to the server (the failing call shows its text as
    // any failure) closes everything as soon as that call is over, as after
    // a failed DataBaseCreate: no further failures pile up behind it, and
    // DataBaseCreate (the settings dialog) connects again.

    bool isOpen() const { return open_; }

    // The year that the settings dialog shows; prog.ini's until it is given.
    void setYearSource(std::function<int()> f) { yearSource_ = std::move(f); }
    int settingsYear() const { return yearSource_ ? yearSource_() : Year(); }
    void setMessageFn(MessageFn f) { message_ = std::move(f); }
    MsgResult message(const QString& caption, const QString& text, MsgButtons b, MsgIcon i) const;

    // --- hooks and calculated fields
    static QString ORGTableRefGetText(const store::Field& f);
    static void ORGTableRefSetText(store::Field& f, const QString& text);
    static QString LawTableRefGetText(const store::Field& f);
    static void LawTableRefSetText(store::Field& f, const QString& text);
    static void CalcSumPlanTableSetText(store::Field& f, const QString& text);
    static void CalcSumCorPlnTableSetText(store::Field& f, const QString& text);
    void T1LawSNameCalcFields(store::Table& t);
    void T2_1LawSNameCalcFields(store::Table& t);
    void T2_2CalcFields(store::Table& t);
    void DOrgTableNameCalcFields(store::Table& t);
    void DInOutTableCommentCalcFields(store::Table& t);
    void PlanTableOrgNameCalcFields(store::Table& t);
    void CorPlanTableOrgNameCalcFields(store::Table& t);
    static void MD4InOutAllTableCalcFields(store::Table& t);
    static void Umd1TableCalcFields(store::Table& t);

    // Checks the required fields of a row before it reaches the store:
    // "Field '%s' must have a value".
    static void checkRequired(store::Table& t);

    // --- the connection and the table objects
    store::Session Session;
    store::Table T1{&Session, "T1"};
    store::Table T2_1{&Session, "T2_1"};
    store::Table T2_2{&Session, "T2_2"};
    store::Table Org_Table{&Session, "Org_Table"};
    store::Table CBCSPRTable{&Session, "CBCSPRTable"};
    store::Table LawSprTable{&Session, "LawSprTable"};
    store::Table PlanTable{&Session, "PlanTable"};
    store::Table CorPlanTable{&Session, "CorPlanTable"};
    store::Table DOrgTable{&Session, "DOrgTable"};
    store::Table DInTable{&Session, "DInTable"};
    store::Table DOutTable{&Session, "DOutTable"};
    store::Table SumTypeSprTable{&Session, "SumTypeSprTable"};
    store::Table MdTable{&Session, "MdTable"};
    store::Table MD1Table{&Session, "MD1Table"};
    store::Table MD2Table{&Session, "MD2Table"};
    store::Table MD3Table{&Session, "MD3Table"};
    store::Table MD4Table{&Session, "MD4Table"};
    store::Table Md9Table{&Session, "Md9Table"};
    store::Table Md12Table{&Session, "Md12Table"};
    store::Table Umd1Table{&Session, "Umd1Table"};

    // Every table object; the year tables in their opening order.
    std::vector<store::Table*> yearTables();
    std::vector<store::Table*> workTables();
    store::Table* tableByName(const QString& name);   // object or table name

    // The root and year of the last DataBaseCreate, as written in prog.ini.
    QString root() const { return root_; }

private:
    void closeConnection();
    void reopen();
    void nameLookup(store::Table& ref, const char* nameField, store::Table& t, const char* codeField,
                    const char* target);
    void orgNameExact(store::Table& t, const char* target);
    void makeYear(const QString& source, const QString& yearPath);
    // Why the Year of prog.ini cannot be used: present but not a year of
    // the settings' range. Empty when it can (or is missing).
    QString yearSettingError() const;

    QString iniPath_;
    QString root_;
    QString yearDir_;
    bool open_ = false;
    std::function<int()> yearSource_;
    MessageFn message_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();   // for what is left queued when it goes
};

// The display and entry hooks and calculated fields off while it lives, on
// again when it goes, however the scope is left.
class TableProcessOff {
public:
    explicit TableProcessOff(TDataBase1& db) : db_(&db) { db.DisableTableProcess(); }
    ~TableProcessOff()
    {
        try {
            restore();
        } catch (...) {
        }
    }
    // On again now (a failure to do so is the caller's to see).
    void restore()
    {
        if (TDataBase1* d = std::exchange(db_, nullptr))
            d->EnableTableProcess();
    }
    TableProcessOff(const TableProcessOff&) = delete;
    TableProcessOff& operator=(const TableProcessOff&) = delete;

private:
    TDataBase1* db_;
};

} // namespace dm
