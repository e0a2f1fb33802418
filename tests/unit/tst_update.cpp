// The update check's texts, installation id and reply reading.

#include "TestHome.h"
#include "TestMain.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>

class TestUpdate : public QObject
{
    Q_OBJECT
private slots:
    void updateTextInEveryLanguage_data();
    void updateTextInEveryLanguage();
    void installationIdShapeAndPersistence();
    void replyRules_data();
    void replyRules();
    void onlyWebAddressesAreOpened();
};

void TestUpdate::updateTextInEveryLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("no");
    QTest::addColumn<QString>("firstSentence");
    QTest::newRow("ko") << "ko"
                        << "업데이트 가능"
                        << "예"
                        << "아니오"
                        << "업데이트 정보가 있습니다.";
    QTest::newRow("ja") << "ja"
                        << "アップデート可"
                        << "はい"
                        << "いいえ"
                        << "このプログラムがアップデートされました。";
    QTest::newRow("zh") << "zh"
                        << "可更新"
                        << "是"
                        << "否"
                        << "该程序已更新。";
    QTest::newRow("ru") << "ru"
                        << "Обновление"
                        << "Да"
                        << "Нет"
                        << "Данная программа была обновлена.";
    QTest::newRow("it") << "it"
                        << "Aggiornabile"
                        << "Sì"
                        << "No"
                        << "È disponibile una nuova versione del programma.";
    QTest::newRow("fr") << "fr"
                        << "Maj dispo"
                        << "Oui"
                        << "Non"
                        << "Ce programme a été mis à jour.";
    QTest::newRow("en") << "en"
                        << "Update available"
                        << "Yes"
                        << "No"
                        << "This program has been updated.";
    // A language without texts of its own falls back to English.
    QTest::newRow("other") << "de"
                           << "Update available"
                           << "Yes"
                           << "No"
                           << "This program has been updated.";
}

void TestUpdate::updateTextInEveryLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, status);
    QFETCH(QString, yes);
    QFETCH(QString, no);
    QFETCH(QString, firstSentence);
    QObject window;
    TranslateComponent(&window, language);
    QCOMPARE(UpdateText(1), status);
    QCOMPARE(UpdateText(2), yes);
    QCOMPARE(UpdateText(3), no);
    // Three sentences, two carriage returns between each, no line feeds.
    const QStringList sentences = UpdateText(0).split(QStringLiteral("\r\r"));
    QCOMPARE(sentences.size(), 3);
    QCOMPARE(sentences.first(), firstSentence);
    QVERIFY(!UpdateText(0).contains(QLatin1Char('\n')));
}

void TestUpdate::installationIdShapeAndPersistence()
{
    QRandomGenerator random(42);
    const QDateTime when(QDate(2026, 3, 9), QTime(7, 5, 4));
    const QString id = NewInstallationId(random, when);
    QCOMPARE(id.size(), 32);
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{8}260309[0-9A-F]{4}070504[0-9A-F]{8}$"))
                 .match(id)
                 .hasMatch(),
        qPrintable(id));

    TestHome home;
    home.apply();
    const QString first = GetInstallationId();
    QCOMPARE(first.size(), 32);
    // Kept in the maker's store, not the program's, and the same at every later start.
    QSettings maker(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"));
    QCOMPARE(maker.fileName(), home.config + QStringLiteral("/Brenholt.conf"));
    QCOMPARE(maker.value(QStringLiteral("QUID")).toString(), first);
    QCOMPARE(GetInstallationId(), first);

    // A store that cannot be written gives no id rather than a new one at every start (a folder where the
    // file should be: refused even to root).
    TestHome blocked;
    blocked.apply();
    // Qt reads the configuration folder once per process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked.config);
    QVERIFY(QDir().mkpath(blocked.config + QStringLiteral("/Brenholt.conf")));
    QCOMPARE(GetInstallationId(), QString());
}

void TestUpdate::replyRules_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("update");
    QTest::addColumn<QString>("notify");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("url");
    QTest::newRow("both keys") << R"({"update":"https://d.example/new","notify":"https://n.example/"})"
                               << "https://d.example/new"
                               << "https://n.example/" << QString() << QString();
    QTest::newRow("empty update with info")
        << R"({"update":"","info":{"style":"note","text":"t","url":"https://u.example/"}})" << QString()
        << QString() << "note"
        << "https://u.example/";
    QTest::newRow("upper-case key") << R"({"UPDATE":"https://d.example/"})"
                                    << "https://d.example/" << QString() << QString() << QString();
    QTest::newRow("blank before the colon")
        << R"({"update" :"https://d.example/","notify": "https://n.example/"})" << QString() << QString()
        << QString() << QString();
    QTest::newRow("escapes") << R"({"update":"https:\/\/d.example\/\u00e9?q=\"x\""})"
                             << "https://d.example/é?q=\"x\"" << QString() << QString() << QString();
    QTest::newRow("first occurrence wins")
        << R"({"notify":"a","notify":"b"})" << QString() << "a" << QString() << QString();
    QTest::newRow("no closing quote")
        << R"({"update":"https://d.example/)" << QString() << QString() << QString() << QString();
    QTest::newRow("info without a closing brace")
        << R"({"info":{"style":"hold","text":"x")" << QString() << QString() << QString() << QString();
    QTest::newRow("info ends at its first brace")
        << R"({"info":{"style":"hold"},"url":"https://outside.example/"})" << QString() << QString() << "hold"
        << QString();
    QTest::newRow("empty reply") << QString() << QString() << QString() << QString() << QString();
    QTest::newRow("bad escape counts as absent")
        << R"({"update":"\u00zz"})" << QString() << QString() << QString() << QString();
}

void TestUpdate::replyRules()
{
    QFETCH(QString, reply);
    QFETCH(QString, update);
    QFETCH(QString, notify);
    QFETCH(QString, style);
    QFETCH(QString, url);
    const UpdateReply read = ReadUpdateReply(reply);
    QCOMPARE(read.update, update);
    QCOMPARE(read.notify, notify);
    QCOMPARE(read.style, style);
    QCOMPARE(read.url, url);
}

void TestUpdate::onlyWebAddressesAreOpened()
{
    QVERIFY(IsWebAddress(QStringLiteral("https://d.example/x")));
    QVERIFY(IsWebAddress(QStringLiteral("HTTP://d.example")));
    for (const char* refused : { "javascript:alert(1)", "file:///etc/passwd", "/usr/bin/xterm",
             "ftp://d.example/", "https://", "d.example/x", "" })
        QVERIFY2(!IsWebAddress(QLatin1String(refused)), refused);
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestUpdate)
#include "tst_update.moc"
