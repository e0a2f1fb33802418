#include "support/Exception.h"
#include "support/Q.Strings.h"

#include <QTest>

class TestStrings : public QObject
{
    Q_OBJECT
private slots:
    void extractBetween_data();
    void extractBetween();
    void unescapeJson_data();
    void unescapeJson();
    void unescapeJsonRejectsBadHex_data();
    void unescapeJsonRejectsBadHex();
};

void TestStrings::extractBetween_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");

    QTest::newRow("delimiters in any letter case, value in its own") << "abc=XyZ;"
                                                                     << "C="
                                                                     << ";"
                                                                     << "XyZ";
    QTest::newRow("empty start extracts from the beginning") << "value;rest"
                                                             << ""
                                                             << ";"
                                                             << "value";
    QTest::newRow("empty end extracts to the end") << "key=value"
                                                   << "key="
                                                   << ""
                                                   << "value";
    QTest::newRow("both empty gives the whole text") << "abc"
                                                     << ""
                                                     << ""
                                                     << "abc";
    QTest::newRow("start missing") << "abc"
                                   << "x"
                                   << "c"
                                   << "";
    QTest::newRow("end missing after start gives nothing, not the rest") << "a=b"
                                                                         << "a="
                                                                         << ";"
                                                                         << "";
    QTest::newRow("end searched only after the start") << ";a=b;"
                                                       << "a="
                                                       << ";"
                                                       << "b";
    QTest::newRow("only the first start counts") << "k=;k=2;"
                                                 << "k="
                                                 << ";"
                                                 << "";
    QTest::newRow("escaped quote does not end the value") << R"({"url":"a\"b","x":1})"
                                                          << R"("url":")"
                                                          << "\""
                                                          << R"(a\"b)";
    QTest::newRow("escaped backslash before the quote hides it") << R"({"u":"a\\","v":"w"})"
                                                                 << R"("u":")"
                                                                 << "\""
                                                                 << R"(a\\",)";
    QTest::newRow("single quote delimiter is escaped too") << R"(x='it\'s' y)"
                                                           << "x='"
                                                           << "'"
                                                           << R"(it\'s)";
    QTest::newRow("two-character quote delimiter keeps positions") << "a=\\\"'b\"'c"
                                                                   << "a="
                                                                   << "\"'"
                                                                   << "\\\"'b";
    QTest::newRow("non-ASCII letters are compared exactly") << "ÄB=1;äb=2;"
                                                            << "äb="
                                                            << ";"
                                                            << "2";
    QTest::newRow("delimiters longer than the text") << "ab"
                                                     << "abc"
                                                     << ""
                                                     << "";
}

void TestStrings::extractBetween()
{
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, expected);
    QCOMPARE(ExtractBetween(text, start, end), expected);
}

void TestStrings::unescapeJson_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("slash") << R"(http:\/\/host\/a)"
                           << "http://host/a";
    QTest::newRow("unicode") << R"(\u0041\u00e9)" << QString::fromUtf8("Aé");
    QTest::newRow("quotes and backslash") << R"(\"\'\\)"
                                          << R"("'\)";
    QTest::newRow("controls") << R"(\b\f\n\r\t)" << QString::fromUtf8("\b\f\n\r\t");
    QTest::newRow("unknown escape dropped with its character") << R"(a\xb)"
                                                               << "ab";
    QTest::newRow("lone backslash at the end dropped") << "abc\\"
                                                       << "abc";
    QTest::newRow("short unicode at the end read as far as it goes") << R"(x\u41)"
                                                                     << "xA";
    QTest::newRow("surrogate halves pass through one by one")
        << R"(\ud83d\ude00)" << QString::fromUtf8("\xF0\x9F\x98\x80");
}

void TestStrings::unescapeJson()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(UnescapeJson(text), expected);
}

void TestStrings::unescapeJsonRejectsBadHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << R"(\uZZZZ)";
    QTest::newRow("one bad digit") << R"(\u00G1)";
    QTest::newRow("nothing after u") << R"(abc\u)";
}

void TestStrings::unescapeJsonRejectsBadHex()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(EConvertError, UnescapeJson(text));
}

QTEST_APPLESS_MAIN(TestStrings)
#include "tst_strings.moc"
