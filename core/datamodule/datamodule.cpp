#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/store/pg_connection.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace dm {

using store::Field;
using store::StoreError;
using store::Table;

QString nativeDir(const QString& iniDir)
{
    QString d = iniDir;
    d.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return d;
}

namespace {

// Files of the store that are not data: the lock of a database and a
// journal left by a write in progress.
bool internalFile(const QString& name)
{
    return name.endsWith(QLatin1String(".lck")) || name.endsWith(QLatin1String("-journal")) ||
           name.endsWith(QLatin1String(".part"));
}

bool isDatabaseFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

void keepTime(const QString& source, const QString& dest)
{
    const QDateTime m = QFileInfo(source).lastModified();
    QFile f(dest);
    if (f.open(QIODevice::ReadWrite))
        f.setFileTime(m, QFileDevice::FileModificationTime);
}

// A plain copy through a temporary file, so a copy that fails leaves no torn file.
void copyFile(const QString& source, const QString& dest)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("Cannot open file %1").arg(source));
    const QString tmp = dest + QStringLiteral(".part");
    QFile out(tmp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw StoreError(QStringLiteral("Cannot create file %1").arg(dest));
    char buf[1 << 16];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0) {
            out.close();
            QFile::remove(tmp);
            throw StoreError(QStringLiteral("Stream read error"));
        }
        if (n == 0)
            break;
        if (out.write(buf, n) != n) {
            out.close();
            QFile::remove(tmp);
            throw StoreError(QStringLiteral("Stream write error"));
        }
    }
    if (!out.flush() || ::fsync(out.handle()) != 0) {
        out.close();
        QFile::remove(tmp);
        throw StoreError(QStringLiteral("Stream write error"));
    }
    out.close();
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(dest).constData()) != 0) {
        QFile::remove(tmp);
        throw StoreError(QStringLiteral("Cannot create file %1").arg(dest));
    }
}

QString withDash(const QString& code, int at)
{
    return code.size() > at ? code.left(at) + QLatin1Char('-') + code.mid(at) : code;
}

QString withoutSeparator(const QString& text, int at)
{
    return text.size() > at ? QString(text).remove(at, 1) : text;
}

// The quarter sums of a schedule row: the typed quarter, then the year total.
void quarterEntry(Field& f, const QString& text)
{
    const auto v = store::parseFloat(text);
    if (!v)
        throw StoreError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    Table& t = f.table();
    t.edit();
    f.setValue(*v);
    long double sum = 0;
    for (const char* q : {"Sum1", "Sum2", "Sum3", "Sum4"})
        sum += static_cast<long double>(t.fieldByName(QLatin1String(q)).asFloat());
    t.fieldByName(QStringLiteral("AllSum")).setValue(static_cast<double>(sum));
}

// CopyDir; `current` follows the file being copied, so that a failure can
// be told with the file's name.
void copyDir(const QString& source, const QString& destination, QString* current)
{
    const QString src = nativeDir(source);
    const QString dst = nativeDir(destination);
    if (current)
        *current = dst;
    if (!QDir().mkpath(dst))
        throw StoreError(QStringLiteral("Cannot create file %1").arg(dst));
    const QFileInfoList files = QDir(src).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& fi : files) {
        if (internalFile(fi.fileName()))
            continue;
        const QString to = QDir(dst).filePath(fi.fileName());
        if (current)
            *current = to;
        if (isDatabaseFile(fi.absoluteFilePath()))
            store::snapshotDatabase(fi.absoluteFilePath(), to);
        else
            copyFile(fi.absoluteFilePath(), to);
        keepTime(fi.absoluteFilePath(), to);
    }
}

} // namespace

// --------------------------------------------------------------- settings

TDataBase1::TDataBase1(QString iniPath, MessageFn msg) : iniPath_(std::move(iniPath)), message_(std::move(msg))
{
    struct Setup {
        Table* t;
        const char* table;
        const char* order;
    };
    const Setup all[] = {
        {&T1, "t1", "Facebill"},
        {&T2_1, "t2_1", "FaceBill;LawRef;Amount;FiDate;CBC"},
        {&T2_2, "t2_2", "Facebill;LawRef;Amount;FiDate;CBC;Org"},
        {&Org_Table, "org_spr", "Org"},
        {&CBCSPRTable, "cbc_spr", "CBC"},
        {&LawSprTable, "law_spr", "LawRef"},
        {&PlanTable, "planTbl", "Org;Cbc;FaceBill"},
        {&CorPlanTable, "corPln", "Org;Cbc;FaceBill;Num;CorDate"},
        {&DOrgTable, "DOrg", "Org"},
        {&DInTable, "DIn", "Org;Date;Sum;Note;SumType"},
        {&DOutTable, "DOut", "Org;Date;Sum;Note;SumType"},
        {&SumTypeSprTable, "SumTypeSpr", "SumType"},
        {&MdTable, "md", "FaceBill"},
        {&MD1Table, "md1", "Org"},
        {&MD2Table, "md2", "Org"},
        {&MD3Table, "md3", "LawRef"},
        {&MD4Table, "md4", "CBC"},
        {&Md9Table, "md9", "Org;Cbc"},
        {&Md12Table, "md12", "FaceBill;CBC"},
        {&Umd1Table, "UMd1", "Org"},
    };
    for (const auto& s : all) {
        s.t->setTableName(QString::fromLatin1(s.table));
        s.t->setOrder(QString::fromLatin1(s.order));
    }
    // The fields the module itself checks before a row reaches the store.
    for (Table* t : {&CorPlanTable, &DOrgTable, &MdTable, &MD3Table, &Md12Table})
        t->setBeforePost(&TDataBase1::checkRequired);
    MD4Table.setCalcFields(&TDataBase1::MD4InOutAllTableCalcFields);
    Umd1Table.setCalcFields(&TDataBase1::Umd1TableCalcFields);
    Session.setLostHandler([this, alive = std::weak_ptr<char>(alive_)] {
        // Called inside the failing call: everything is closed once that
        // call is over (the next turn of the event loop), unless the year
        // was opened again meanwhile.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [this, alive] {
                    if (!alive.expired() && Session.isLost())
                        closeConnection();
                },
                Qt::QueuedConnection);
    });
    DataBaseCreate();
}

TDataBase1::~TDataBase1()
{
    try {
        DataModuleDestroy();
    } catch (...) {
    }
}

QString TDataBase1::DataBaseDir() const
{
    return profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::DataBaseDir),
                                QString::fromLatin1(DefaultDataBaseDir));
}

int TDataBase1::Year() const
{
    return profile().readInt(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::Year), DefaultYear);
}

QString TDataBase1::UserName() const
{
    return profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::UserName),
                                QString::fromLatin1(DefaultUserName));
}

QString TDataBase1::LocalBaseDir() const
{
    return profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::LocalBaseDir),
                                QString::fromLatin1(DefaultLocalBaseDir));
}

QString TDataBase1::Server() const
{
    return profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::Server), QString());
}

QString TDataBase1::OrgName() const
{
    return profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::OrgName));
}

QString TDataBase1::yearDir(int year) const { return DataBaseDir() + QString::number(year) + QLatin1Char('\\'); }

MsgResult TDataBase1::message(const QString& caption, const QString& text, MsgButtons b, MsgIcon i) const
{
    if (message_)
        return message_(caption, text, b, i);
    if (caption.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(text));
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    return MsgResult::Ok;
}

// --------------------------------------------------------------- tables

std::vector<Table*> TDataBase1::yearTables()
{
    return {&Org_Table, &CBCSPRTable, &LawSprTable, &SumTypeSprTable, &DOrgTable, &DInTable,
            &DOutTable, &T2_2,        &T2_1,        &T1,              &PlanTable, &CorPlanTable};
}

std::vector<Table*> TDataBase1::workTables()
{
    return {&MdTable, &MD1Table, &MD2Table, &MD3Table, &MD4Table, &Md9Table, &Md12Table, &Umd1Table};
}

Table* TDataBase1::tableByName(const QString& name)
{
    std::vector<Table*> all = yearTables();
    for (Table* t : workTables())
        all.push_back(t);
    for (Table* t : all)
        if (t->objectName().compare(name, Qt::CaseInsensitive) == 0 ||
            t->tableName().compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return nullptr;
}

void TDataBase1::OpenAllTable()
{
    for (Table* t : yearTables())
        t->open();
}

void TDataBase1::CloseAllTable()
{
    for (Table* t : {&T2_2, &T2_1, &T1, &PlanTable, &CorPlanTable, &Org_Table, &CBCSPRTable, &LawSprTable, &DOrgTable,
                     &DInTable, &DOutTable, &SumTypeSprTable})
        t->close();
}

void TDataBase1::SyncTable(Table& t)
{
    // The store closes at once, so there is nothing to wait for. The opened
    // table stands on its first row; its rows are read when first asked for.
    t.close();
    t.open();
}

void TDataBase1::SyncAllTables()
{
    CloseAllTable();
    OpenAllTable();
}

void TDataBase1::EnableTableProcess()
{
    for (auto [t, f] : {std::pair{&Org_Table, "Org"}, {&PlanTable, "Org"}, {&T2_2, "Org"}, {&DOrgTable, "Org"}}) {
        Field& x = t->fieldByName(QLatin1String(f));
        x.setDisplayHook(&TDataBase1::ORGTableRefGetText);
        x.setEntryHook(&TDataBase1::ORGTableRefSetText);
    }
    for (Table* t : {&LawSprTable, &T1, &T2_1, &T2_2}) {
        Field& x = t->fieldByName(QStringLiteral("LawRef"));
        x.setDisplayHook(&TDataBase1::LawTableRefGetText);
        x.setEntryHook(&TDataBase1::LawTableRefSetText);
    }
    for (const char* q : {"Sum1", "Sum2", "Sum3", "Sum4"}) {
        PlanTable.fieldByName(QLatin1String(q)).setEntryHook(&TDataBase1::CalcSumPlanTableSetText);
        CorPlanTable.fieldByName(QLatin1String(q)).setEntryHook(&TDataBase1::CalcSumCorPlnTableSetText);
    }
    T1.setCalcFields([this](Table& t) { T1LawSNameCalcFields(t); });
    T2_1.setCalcFields([this](Table& t) { T2_1LawSNameCalcFields(t); });
    T2_2.setCalcFields([this](Table& t) { T2_2CalcFields(t); });
    DOrgTable.setCalcFields([this](Table& t) { DOrgTableNameCalcFields(t); });
    DInTable.setCalcFields([this](Table& t) { DInOutTableCommentCalcFields(t); });
    DOutTable.setCalcFields([this](Table& t) { DInOutTableCommentCalcFields(t); });
    PlanTable.setCalcFields([this](Table& t) { PlanTableOrgNameCalcFields(t); });
    CorPlanTable.setCalcFields([this](Table& t) { CorPlanTableOrgNameCalcFields(t); });
}

void TDataBase1::DisableTableProcess()
{
    for (auto [t, f] : {std::pair{&Org_Table, "Org"}, {&PlanTable, "Org"}, {&T2_2, "Org"}, {&DOrgTable, "Org"}}) {
        Field& x = t->fieldByName(QLatin1String(f));
        x.setDisplayHook({});
        x.setEntryHook({});
    }
    for (Table* t : {&LawSprTable, &T1, &T2_1, &T2_2}) {
        Field& x = t->fieldByName(QStringLiteral("LawRef"));
        x.setDisplayHook({});
        x.setEntryHook({});
    }
    for (const char* q : {"Sum1", "Sum2", "Sum3", "Sum4"}) {
        PlanTable.fieldByName(QLatin1String(q)).setEntryHook({});
        CorPlanTable.fieldByName(QLatin1String(q)).setEntryHook({});
    }
    for (Table* t : {&T1, &T2_1, &T2_2, &DOrgTable, &DInTable, &DOutTable, &PlanTable, &CorPlanTable})
        t->setCalcFields({});
}

// --------------------------------------------------------------- hooks

QString TDataBase1::ORGTableRefGetText(const Field& f) { return withDash(f.asString(), 3); }

void TDataBase1::ORGTableRefSetText(Field& f, const QString& text) { f.setAsString(withoutSeparator(text, 3)); }

QString TDataBase1::LawTableRefGetText(const Field& f) { return withDash(f.asString(), 2); }

void TDataBase1::LawTableRefSetText(Field& f, const QString& text) { f.setAsString(withoutSeparator(text, 2)); }

void TDataBase1::CalcSumPlanTableSetText(Field& f, const QString& text) { quarterEntry(f, text); }

void TDataBase1::CalcSumCorPlnTableSetText(Field& f, const QString& text) { quarterEntry(f, text); }

namespace {

bool editing(const Table& t) { return t.state() == store::TableState::Edit || t.state() == store::TableState::Insert; }

// Whether a lookup for a row of `t` may move the book `ref`: the current row
// of `t` and its row being edited move it; a row read aside (a grid painting
// it) does not, nor does a book with a row of its own pending, which a move
// would post behind the back of the dialog that edits it.
bool lookupMoves(const Table& ref, const Table& t) { return !t.readingAside() && !editing(ref); }

} // namespace

// Name of a code by nearest search in a reference book, in the book's current
// order and view; empty when the book is closed or shows no row.
void TDataBase1::nameLookup(Table& ref, const char* nameField, Table& t, const char* codeField, const char* target)
{
    QVariant name;
    if (ref.isOpen()) {
        const QVariant code = t.fieldByName(QLatin1String(codeField)).value();
        if (lookupMoves(ref, t)) {
            ref.findNearest({code});
            if (!ref.isEmpty())
                name = ref.fieldByName(QLatin1String(nameField)).value();
        } else if (const int pos = ref.nearestIndex({code}); pos >= 0) {
            name = ref.storedValueAt(pos, QLatin1String(nameField));
        }
    }
    t.fieldByName(QLatin1String(target)).setValue(name);
}

// Name of an organization by exact search: found, the book moves to it
// (under the rules of nameLookup); missing, it stays and the name is empty.
void TDataBase1::orgNameExact(Table& t, const char* target)
{
    QVariant name;
    if (Org_Table.isOpen()) {
        const QVariant code = t.fieldByName(QStringLiteral("Org")).value();
        if (lookupMoves(Org_Table, t)) {
            if (Org_Table.findKey({code}))
                name = Org_Table.fieldByName(QStringLiteral("Name")).value();
        } else if (const int pos = Org_Table.keyIndex({code}); pos >= 0) {
            name = Org_Table.storedValueAt(pos, QStringLiteral("Name"));
        }
    }
    t.fieldByName(QLatin1String(target)).setValue(name);
}

void TDataBase1::T1LawSNameCalcFields(Table& t) { nameLookup(LawSprTable, "Sname", t, "LawRef", "LawSName"); }

void TDataBase1::T2_1LawSNameCalcFields(Table& t)
{
    nameLookup(LawSprTable, "Sname", t, "LawRef", "LawSName");
}

void TDataBase1::T2_2CalcFields(Table& t)
{
    nameLookup(LawSprTable, "Sname", t, "LawRef", "LawSName");
    nameLookup(Org_Table, "Name", t, "Org", "OrgName");
}

void TDataBase1::DOrgTableNameCalcFields(Table& t) { nameLookup(Org_Table, "Name", t, "Org", "Name"); }

void TDataBase1::DInOutTableCommentCalcFields(Table& t)
{
    nameLookup(SumTypeSprTable, "Comment", t, "SumType", "Comment");
}

void TDataBase1::PlanTableOrgNameCalcFields(Table& t) { orgNameExact(t, "OrgName"); }

void TDataBase1::CorPlanTableOrgNameCalcFields(Table& t) { orgNameExact(t, "Orgname"); }

void TDataBase1::MD4InOutAllTableCalcFields(Table& t)
{
    for (const char* side : {"In", "Out"}) {
        double sum = 0;
        for (int q = 1; q <= 4; ++q)
            sum += t.fieldByName(QStringLiteral("%1Q%2").arg(QLatin1String(side)).arg(q)).asFloat();
        t.fieldByName(QStringLiteral("%1All").arg(QLatin1String(side))).setValue(sum);
    }
}

void TDataBase1::Umd1TableCalcFields(Table& t)
{
    for (const char* part : {"Start", "End"}) {
        const QString p = QLatin1String(part);
        const Field& in = t.fieldByName(p + QStringLiteral("In"));
        const Field& out = t.fieldByName(p + QStringLiteral("Out"));
        t.fieldByName(p + QStringLiteral("InOut"))
            .setValue(in.isNull() || out.isNull() ? QVariant() : QVariant(in.asFloat() - out.asFloat()));
    }
}

void TDataBase1::checkRequired(Table& t)
{
    for (int i = 0; i < t.fieldCount(); ++i) {
        const Field& f = t.field(i);
        if (f.isRequired() && !f.isCalculated() && f.isNull())
            throw StoreError(QStringLiteral("Field '%1' must have a value").arg(f.name()));
    }
}

// --------------------------------------------------------------- opening

QString TDataBase1::yearSettingError() const
{
    // A missing key takes the default; a value that is there must be a year
    // the settings dialog can show, or no directory is made from it.
    const QString none(QLatin1Char('\n'));   // no value holds a line break
    const QString text =
        profile().readString(QString::fromLatin1(config::keys::Main), QString::fromLatin1(config::keys::Year), none);
    if (text == none)
        return {};
    bool digits = !text.isEmpty() && text.size() <= 4;
    for (QChar c : text)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int year = digits ? text.toInt() : 0;
    if (digits && year >= MinYear && year <= MaxYear)
        return {};
    return QStringLiteral("Год \"%1\" в файле настроек %2 не является целым числом от %3 до %4. "
                          "Укажите год в меню Сервис\\Настройка.")
        .arg(text, QDir::toNativeSeparators(QFileInfo(iniPath_).absoluteFilePath()))
        .arg(MinYear)
        .arg(MaxYear);
}

bool TDataBase1::DataBaseCreate()
{
    closeConnection();
    root_ = DataBaseDir();
    if (const QString bad = yearSettingError(); !bad.isEmpty()) {
        yearDir_.clear();
        message(QStringLiteral("Ошибка настройки"), bad, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    const int year = Year();
    yearDir_ = root_ + QString::number(year) + QLatin1Char('\\');
    const QString orig = nativeDir(root_ + QStringLiteral("Orig\\"));
    const QString yearPath = nativeDir(yearDir_);
    Session.setControlDir(nativeDir(root_));
    Session.setServer(Server());
    Session.clearParams();
    Session.addParam(QStringLiteral("USER NAME=") + UserName());
    try {
        if (!Session.server().isEmpty()) {
            // The year is made from the template on the server, in one
            // transaction: it is there whole or not at all.
            if (Session.databaseExists(orig) && !Session.databaseExists(yearPath))
                store::Session::copyServerDatabase(Session.server(), Session.serverSchema(orig),
                                                   Session.serverSchema(yearPath));
        } else if (QFileInfo(orig).isDir() && !QFileInfo::exists(yearPath)) {
            makeYear(root_ + QStringLiteral("Orig\\"), yearPath);
        }
    } catch (const StoreError& e) {
        // Shown as the program shows any failure (its title, the error
        // icon); nothing is open, so that the settings can be corrected.
        message(QString(), e.text(), MsgButtons::Ok, MsgIcon::Error);
        return false;
    }

    bool there = false;
    try {
        there = Session.databaseExists(yearPath);
    } catch (const StoreError& e) {
        message(QStringLiteral("Ошибка настройки"), e.text(), MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (!there) {
        message(QStringLiteral("Ошибка настройки"),
                QStringLiteral("Не удается открыть базу данных. Настройте путь к ее местоположению, "
                               "воспользовшись меню Сервис\\Настройка"),
                MsgButtons::Ok, MsgIcon::None);
        return false;
    }
    for (Table* t : yearTables())
        t->setDirectory(yearPath);
    const QString local = nativeDir(LocalBaseDir());
    for (Table* t : workTables())
        t->setDirectory(local);
    try {
        Session.open();
        Session.openDatabase(yearPath);
        OpenAllTable();
        EnableTableProcess();
    } catch (const StoreError& e) {
        // A live copy under the same name, a damaged file, another copy busy:
        // say so and stay closed, so the settings can be corrected.
        closeConnection();
        message(QStringLiteral("Ошибка настройки"), e.text(), MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    open_ = true;
    return true;
}

void TDataBase1::closeConnection()
{
    if (Session.isOpen() || open_) {
        DisableTableProcess();
        CloseAllTable();
        Session.close();
    }
    open_ = false;
}

void TDataBase1::reopen()
{
    const QString yearPath = nativeDir(yearDir_);
    Session.open();
    Session.openDatabase(yearPath);
    OpenAllTable();
    EnableTableProcess();
    open_ = true;
}

void TDataBase1::DataModuleDestroy()
{
    closeConnection();
}

// --------------------------------------------------------------- copying

void TDataBase1::makeYear(const QString& source, const QString& yearPath)
{
    // The files go into a work directory beside the year's, which takes the
    // year's name only when all of them are there: a year directory is never
    // seen half made, by this start or by a later one.
    QString target = yearPath;
    while (target.endsWith(QLatin1Char('/')))
        target.chop(1);
    const QString work = target + QStringLiteral(".part") + QString::number(::getpid());
    QDir(work).removeRecursively();
    QString current;
    try {
        copyDir(source, work + QLatin1Char('/'), &current);
    } catch (const StoreError& e) {
        QDir(work).removeRecursively();
        // The files are named as the year's own; a failure that names no
        // file is told with the file being copied.
        QString text = QString(e.text()).replace(work, target);
        current.replace(work, target);
        if (!current.isEmpty() && !text.contains(current))
            text += QStringLiteral(" (файл %1)").arg(QDir::toNativeSeparators(current));
        throw StoreError(text);
    }
    if (!QDir().rename(work, target)) {
        QDir(work).removeRecursively();
        // Another copy of the program may have made the year meanwhile.
        if (!QFileInfo(target).isDir())
            throw StoreError(QStringLiteral("Cannot create file %1").arg(target));
    }
}

void TDataBase1::CopyDir(const QString& source, const QString& destination) { copyDir(source, destination, nullptr); }

bool TDataBase1::BackCopyDataBase()
{
    if (message(QStringLiteral("Предупреждение"),
                QStringLiteral("Создание резервной копии бызы данных требует монопольного доступа. "
                               "Все сетевые копии программы должны быть закрыты. Продолжить ?"),
                MsgButtons::OkCancel, MsgIcon::Warning) != MsgResult::Ok)
        return false;
    const bool wasOpen = open_;
    closeConnection();
    const QString y = QString::number(settingsYear());
    const QString src = root_ + y + QLatin1Char('\\');
    const QString dst = root_ + QStringLiteral("..\\") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")) +
                        QLatin1Char('\\') + y + QLatin1Char('\\');
    try {
        // A year on the server is backed up as a year of files, read in one
        // transaction on the server.
        const QString schema = Session.serverSchema(nativeDir(src));
        if (schema.isEmpty())
            CopyDir(src, dst);
        else if (store::serverSchemaExists(Session.server(), schema))
            store::dumpServerDatabase(Session.server(), schema, nativeDir(dst));
        else if (!QDir().mkpath(nativeDir(dst)))
            throw StoreError(QStringLiteral("Cannot create file %1").arg(nativeDir(dst)));
    } catch (...) {
        // The year is opened again even when the copy failed, so work goes on.
        if (wasOpen) {
            try {
                reopen();
            } catch (...) {
            }
        }
        throw;
    }
    message(QStringLiteral("Резервное копирование"), QStringLiteral("Создание резервной копии завершено"),
            MsgButtons::OkCancel, MsgIcon::None);
    if (wasOpen)
        reopen();
    return true;
}

} // namespace dm
