// The integrity rules of the tables, as every writer meets them.
#include "tests/testroot.h"

using store::Table;

class RulesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestRoot> root;
    std::unique_ptr<store::Session> s;
    std::map<QString, std::unique_ptr<Table>> t;

    Table& tab(const QString& name)
    {
        auto& p = t[name];
        if (!p)
            p = root->table(*s, name);
        return *p;
    }

    int count(const QString& name)
    {
        Table& x = tab(name);
        x.first();
        return x.recordCount();
    }

    // A small year: books, two accounts, one posting of each kind.
    void fill()
    {
        tab("law_spr").appendRecord({"01", "Закон 1", "Полное 1"});
        tab("law_spr").appendRecord({"02", "Закон 2"});
        tab("cbc_spr").appendRecord({"0101", "Код 1"});
        tab("cbc_spr").appendRecord({"0102", "Код 2"});
        tab("cbc_spr").appendRecord({"0103", "Свободный"});
        tab("org_spr").appendRecord({"12345", "Школа", QVariant(), QVariant(), QVariant(), "0101"});
        tab("org_spr").appendRecord({"12346", "Больница"});
        tab("org_spr").appendRecord({"12399", "Свободная"});
        tab("SumTypeSpr").appendRecord({"000", "Прочее"});
        tab("SumTypeSpr").appendRecord({"001", "Аренда"});
        tab("t1").appendRecord({"40100000001", "01", 0.0, 0.0, 0.0});
        tab("t1").appendRecord({"40100000002", "02", 0.0, 0.0, 0.0});
        tab("t2_1").appendRecord({"40100000001", "01", 100.0, QDate(2004, 1, 10), "0101"});
        tab("t2_2").appendRecord({"40100000001", "01", 40.0, QDate(2004, 1, 11), "0102", "12346"});
        tab("planTbl").appendRecord({"12346", "0102", "40100000001", 1.0, 2.0, 3.0, 4.0, 10.0});
        tab("corPln").appendRecord({"12346", "0102", "40100000001", 1.0, QDate(2004, 2, 1)});
        tab("DOrg").appendRecord({"12346"});
        tab("DIn").appendRecord({"12346", QDate(2004, 3, 1), 5.0, "первый", "001"});
        tab("DOut").appendRecord({"12346", QDate(2004, 3, 2), 2.0, QVariant(), "000"});
    }

private slots:
    void init()
    {
        t.clear();
        s.reset();
        root = std::make_unique<TestRoot>();
        s = root->session();
        fill();
    }

    void cleanup()
    {
        t.clear();
        s.reset();
        root.reset();
    }

    // Each key refuses a repeated row, also when the repeat differs only by
    // trailing blanks or has the same empty fields; the table stays as it was.
    void duplicateKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QVariantList>("row");
        QTest::newRow("t1") << "t1" << QVariantList{"40100000001 "};
        QTest::newRow("t2_1") << "t2_1" << QVariantList{"40100000001", "01 ", 100.0, QDate(2004, 1, 10), "0101  "};
        QTest::newRow("t2_2") << "t2_2" << QVariantList{"40100000001", "01", 40.0, QDate(2004, 1, 11), "0102", "12346"};
        QTest::newRow("org_spr") << "org_spr" << QVariantList{"12345", "Другая"};
        QTest::newRow("cbc_spr") << "cbc_spr" << QVariantList{"0101", "Другой"};
        QTest::newRow("law_spr") << "law_spr" << QVariantList{"01"};
        QTest::newRow("SumTypeSpr") << "SumTypeSpr" << QVariantList{"000", "x"};
        QTest::newRow("planTbl") << "planTbl" << QVariantList{"12346", "0102", "40100000001", 9.0};
        QTest::newRow("corPln") << "corPln" << QVariantList{"12346", "0102", "40100000001", 1.0, QDate(2004, 2, 1), QVariant(), 7.0};
        QTest::newRow("DOrg") << "DOrg" << QVariantList{"12346"};
        QTest::newRow("DIn") << "DIn" << QVariantList{"12346", QDate(2004, 3, 1), 5.0, "первый ", "001"};
        QTest::newRow("DOut with empty note") << "DOut" << QVariantList{"12346", QDate(2004, 3, 2), 2.0, "   ", "000"};
    }

    void duplicateKeys()
    {
        QFETCH(QString, table);
        QFETCH(QVariantList, row);
        const int before = count(table);
        Table& x = tab(table);
        QCOMPARE(storeError([&] { x.appendRecord(row); }), QStringLiteral("Key violation."));
        QCOMPARE(x.state(), store::TableState::Insert);   // the refused row stays pending
        x.cancel();
        QCOMPARE(count(table), before);
    }

    void keyDiffersSlightly()
    {
        // A kopeck more is another receipt.
        tab("t2_1").appendRecord({"40100000001", "01", 100.01, QDate(2004, 1, 10), "0101"});
        // The same organization and code under another account.
        tab("planTbl").appendRecord({"12346", "0102", "40100000002", 1.0});
        // The same notice number on another date.
        tab("corPln").appendRecord({"12346", "0102", "40100000001", 1.0, QDate(2004, 2, 2)});
        QCOMPARE(count("t2_1"), 2);
        QCOMPARE(count("planTbl"), 2);
        QCOMPARE(count("corPln"), 2);
    }

    void changingARowIntoADuplicate()
    {
        Table& x = tab("t2_1");
        x.appendRecord({"40100000001", "01", 50.0, QDate(2004, 1, 10), "0101"});
        QVERIFY(x.findKey({"40100000001", "01", 50.0}));
        x.edit();
        x.fieldByName("Amount").setValue(100.0);
        QCOMPARE(storeError([&] { x.post(); }), QStringLiteral("Key violation."));
        QCOMPARE(x.state(), store::TableState::Edit);
        QCOMPARE(x.fieldByName("Amount").asFloat(), 100.0);
        x.cancel();
        QCOMPARE(x.fieldByName("Amount").asFloat(), 50.0);
        // Editing a row without touching its key is no duplicate of itself.
        x.edit();
        x.fieldByName("CBC").setValue("0102");
        x.post();
        QCOMPARE(x.fieldByName("CBC").asString(), QStringLiteral("0102"));
    }

    // Every lookup rule: a code missing from its book is refused, an empty one accepted.
    void lookups()
    {
        for (const auto& r : schema::lookupRules()) {
            Table& x = tab(r.table);
            const int before = count(r.table);
            x.first();
            x.edit();
            x.fieldByName(r.field).setValue("999");
            QCOMPARE(storeError([&] { x.post(); }), QStringLiteral("Field value out of lookup table range."));
            x.cancel();
            QCOMPARE(count(r.table), before);
            x.first();
            QVERIFY(x.fieldByName(r.field).asString() != QStringLiteral("999"));
        }
        // Empty codes pass the lookup rules.
        tab("t2_1").appendRecord({"40100000002", QVariant(), 1.0, QDate(2004, 1, 1), QVariant()});
        tab("t2_2").appendRecord({"40100000002", QVariant(), 1.0, QDate(2004, 1, 1), QVariant(), QVariant()});
        tab("DIn").appendRecord({"12346", QDate(2004, 1, 1), 1.0, QVariant(), QVariant()});
    }

    void newRowMissingCode()
    {
        Table& x = tab("t2_2");
        QCOMPARE(storeError([&] { x.appendRecord({"40100000001", "01", 1.0, QDate(2004, 1, 1), "0101", "99999"}); }),
                 QStringLiteral("Field value out of lookup table range."));
        x.cancel();
        QCOMPARE(count("t2_2"), 1);
    }

    // Every referential rule: a used master row can be neither deleted (where the
    // rule says so) nor given another key; an unused one can.
    void masters()
    {
        for (const auto& r : schema::referentialRules()) {
            Table& m = tab(r.master);
            Table& d = tab(r.detail);
            d.first();
            const QVariant used = d.fieldByName(r.detailField).value();
            QVERIFY2(!used.isNull(), qPrintable(r.detail + "." + r.detailField));
            QVERIFY(m.findKey({used}));
            const int before = count(r.master);
            QVERIFY(m.findKey({used}));
            if (r.blocksDelete) {
                QCOMPARE(storeError([&] { m.remove(); }),
                         QStringLiteral("Master has detail records. Cannot delete or modify."));
                QCOMPARE(count(r.master), before);
                QVERIFY(m.findKey({used}));
            }
            m.edit();
            m.fieldByName(r.masterField).setValue(r.master == "t1" ? "40199999999" : "0");
            QCOMPARE(storeError([&] { m.post(); }),
                     QStringLiteral("Master has detail records. Cannot delete or modify."));
            m.cancel();
            QVERIFY(m.findKey({used}));
        }
    }

    void unusedRowsDelete()
    {
        Table& o = tab("org_spr");
        QVERIFY(o.findKey({"12399"}));
        o.remove();
        QVERIFY(!o.findKey({"12399"}));
        Table& c = tab("cbc_spr");
        QVERIFY(c.findKey({"0103"}));
        c.remove();
        Table& t1 = tab("t1");
        QVERIFY(t1.findKey({"40100000002"}));
        t1.remove();
        QCOMPARE(count("t1"), 1);
        // An organization of the income accounting may go when it has no entries;
        // the list checks the entries itself.
        tab("DOrg").appendRecord({"12345"});
        QVERIFY(tab("DOrg").findKey({"12345"}));
        tab("DOrg").remove();
        // A changed code of an unused row is accepted.
        QVERIFY(tab("law_spr").findKey({"02"}));
        tab("law_spr").edit();
        tab("law_spr").fieldByName("LawRef").setValue("03");
        tab("law_spr").post();
        QVERIFY(tab("law_spr").findKey({"03"}));
    }

    void requiredFields()
    {
        QCOMPARE(storeError([&] { tab("t1").appendRecord({"   ", "01"}); }), QStringLiteral("Field value required."));
        tab("t1").cancel();
        QCOMPARE(storeError([&] { tab("corPln").appendRecord({"12346", "0102", "40100000001", QVariant(), QDate(2004, 1, 1)}); }),
                 QStringLiteral("Field value required."));
        tab("corPln").cancel();
        QCOMPARE(storeError([&] { tab("corPln").appendRecord({"12346", "0102", "40100000001", 3.0}); }),
                 QStringLiteral("Field value required."));
        tab("corPln").cancel();
        QCOMPARE(storeError([&] { tab("md").appendRecord({QVariant(), 1.0}); }), QStringLiteral("Field value required."));
        tab("md").cancel();
        QCOMPARE(storeError([&] { tab("md12").appendRecord({"1", QVariant()}); }), QStringLiteral("Field value required."));
        tab("md12").cancel();
        QCOMPARE(count("corPln"), 1);
    }

    void newIncomeOrganizationStartsAtZero()
    {
        Table& d = tab("DOrg");
        d.append();
        d.fieldByName("Org").setValue("12345");
        d.post();
        QVERIFY(d.findKey({"12345"}));
        QCOMPARE(d.fieldByName("InSum").value(), QVariant(0.0));
        QCOMPARE(d.fieldByName("OutSum").value(), QVariant(0.0));
        QCOMPARE(d.fieldByName("Remainder").value(), QVariant(0.0));
        // Remainder stays required: clearing it is refused.
        d.edit();
        d.fieldByName("Remainder").clear();
        QCOMPARE(storeError([&] { d.post(); }), QStringLiteral("Field value required."));
        d.cancel();
    }

    void serialNumbersNeverReused()
    {
        Table& c = tab("corPln");
        c.appendRecord({"12346", "0102", "40100000001", 2.0, QDate(2004, 2, 1)});
        c.last();
        const qint64 second = c.fieldByName("AbsNum").asInteger();
        c.first();
        QCOMPARE(c.fieldByName("AbsNum").asInteger(), second - 1);
        c.last();
        c.remove();
        c.appendRecord({"12346", "0102", "40100000001", 3.0, QDate(2004, 2, 1)});
        c.last();
        QCOMPARE(c.fieldByName("AbsNum").asInteger(), second + 1);
        c.edit();
        QVERIFY(!storeError([&] { c.fieldByName("AbsNum").setValue(77); }).isEmpty());
        c.cancel();
    }

    // Codes from the segmented edits arrive padded with blanks.
    void paddedCodes()
    {
        Table& o = tab("org_spr");
        o.appendRecord({"123  ", "Группа"});
        o.appendRecord({"1234 ", "Четыре"});
        QVERIFY(o.findKey({"123"}));
        QCOMPARE(o.fieldByName("Org").value(), QVariant(QStringLiteral("123")));
        QVERIFY(o.findKey({"1234"}));
        QCOMPARE(o.fieldByName("Org").asString().size(), 4);
        // Blanks inside a code are kept.
        tab("cbc_spr").appendRecord({"01  02", "Пробел"});
        QVERIFY(tab("cbc_spr").findKey({"01  02"}));
    }

    void valuesThatDoNotFit()
    {
        Table& o = tab("org_spr");
        o.append();
        QVERIFY(storeError([&] { o.fieldByName("Org").setValue("123456"); }).contains("Org"));
        QVERIFY(o.fieldByName("Org").isNull());
        o.fieldByName("Org").setValue("55555");
        // The longest name fits, one more character is refused.
        o.fieldByName("Name").setValue(QString(35, QChar(0x0416)));
        QVERIFY(!storeError([&] { o.fieldByName("Name").setValue(QString(36, QChar(0x0416))); }).isEmpty());
        o.post();
        QVERIFY(o.findKey({"55555"}));
        QCOMPARE(o.fieldByName("Name").asString().size(), 35);

        Table& p = tab("t2_1");
        p.append();
        QCOMPARE(storeError([&] { p.fieldByName("Amount").setAsString("12a"); }),
                 QStringLiteral("'12a' is not a valid floating point value"));
        QVERIFY(!storeError([&] { p.fieldByName("FiDate").setAsString("31.02.2004"); }).isEmpty());
        p.fieldByName("Amount").setAsString("12,5");
        QCOMPARE(p.fieldByName("Amount").asFloat(), 12.5);
        p.fieldByName("FiDate").setAsString("29.02.2004");
        QCOMPARE(p.fieldByName("FiDate").asDate(), QDate(2004, 2, 29));
        p.cancel();
    }

    // A writer that bypasses the store meets the same rules in the database.
    void rulesInTheDatabaseItself()
    {
        if (!qEnvironmentVariableIsEmpty("SALDINA_TEST_SERVER"))
            QSKIP("SQL of the file's own: the server's tables meet the same statements in tst_pg_schema");
        store::Connection& c = tab("t2_1").connection();
        auto sqlError = [&](const char* sql) { return storeError([&] { c.exec(QString::fromUtf8(sql)); }); };
        QCOMPARE(sqlError("INSERT INTO t2_1 VALUES ('40100000001','01',100.0,'2004-01-10','0101')"),
                 QStringLiteral("Key violation."));
        QCOMPARE(sqlError("INSERT INTO t2_1 VALUES ('40100000001','77',1.0,'2004-01-10','0101')"),
                 QStringLiteral("Field value out of lookup table range."));
        QCOMPARE(sqlError("DELETE FROM law_spr WHERE LawRef = '01'"),
                 QStringLiteral("Master has detail records. Cannot delete or modify."));
        QCOMPARE(sqlError("INSERT INTO t1 (Facebill) VALUES (NULL)"), QStringLiteral("Field value required."));
        QVERIFY(!sqlError("INSERT INTO law_spr VALUES ('9999','x','y')").isEmpty());
        QVERIFY(!sqlError("INSERT INTO law_spr VALUES ('9 ','x','y')").isEmpty());
        QVERIFY(!sqlError("INSERT INTO t2_1 VALUES ('1','01','abc','2004-01-10',NULL)").isEmpty());
        QVERIFY(!sqlError("INSERT INTO t2_1 VALUES ('1','01',1.0,'10.01.2004',NULL)").isEmpty());
        QCOMPARE(c.integrityCheck(), QStringLiteral("ok"));
    }

    // Emptying a master that others refer to is refused as a whole.
    void emptyingIsAllOrNothing()
    {
        Table& law = tab("law_spr");
        QCOMPARE(storeError([&] { law.emptyTable(); }),
                 QStringLiteral("Master has detail records. Cannot delete or modify."));
        QCOMPARE(count("law_spr"), 2);
    }
};

QTEST_GUILESS_MAIN(RulesTest)
#include "tst_rules.moc"
