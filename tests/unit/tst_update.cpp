// The update check's texts, installation id and reply reading.

#include "TestHome.h"
#include "TestMain.h"
#include "platform/fake/FakePlatform.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

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
    void endpointChoice();
    void checkGivesUpAfterSixAttempts();
    void anyCompleteReplyCounts();
    void quitDuringTheWaitsEndsAtOnce();
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
    QTest::newRow("10 MB before the keys") << QString(10 * 1024 * 1024, QLatin1Char(' '))
            + R"({"update":"https://d.example/","info":{"style":"hold"}})"
                                           << "https://d.example/" << QString() << "hold" << QString();
    QTest::newRow("link to a script is read, never opened")
        << R"x({"info":{"style":"note","text":"t","url":"javascript:alert(1)"}})x" << QString() << QString()
        << "note"
        << "javascript:alert(1)";
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

void TestUpdate::endpointChoice()
{
    TestHome home;
    home.apply();
    // Qt reads the configuration folder once per process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.config);
    qunsetenv("LUMETRA_UPDATE_URL");
    QCOMPARE(UpdateEndpoint(), QUrl(QStringLiteral("https://update.brenholt.example/api.init.php")));
    QSettings(home.config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat)
        .setValue(QStringLiteral("update_url"), QStringLiteral("https://mirror.example/lumetra/"));
    QCOMPARE(UpdateEndpoint(), QUrl(QStringLiteral("https://mirror.example/lumetra/api.init.php")));
    qputenv("LUMETRA_UPDATE_URL", "https://127.0.0.1:8443");
    QCOMPARE(UpdateEndpoint(), QUrl(QStringLiteral("https://127.0.0.1:8443/api.init.php")));
    // Nothing but TLS carries the question: no check at all.
    qputenv("LUMETRA_UPDATE_URL", "http://127.0.0.1:8080");
    QVERIFY(!UpdateEndpoint().isValid());
    qunsetenv("LUMETRA_UPDATE_URL");
}

void TestUpdate::checkGivesUpAfterSixAttempts()
{
    TestHome home;
    home.apply();
    qputenv("LUMETRA_UPDATE_INTERVAL_MS", "0");
    FakeHttpClient http;
    http.respond = [](const FakeHttpClient::Seen&) { return HttpReply { QStringLiteral("refused"), 0, {} }; };
    UpdateCheck check(http, QUrl(QStringLiteral("https://u.example/api.init.php")));
    QSignalSpy replied(&check, &UpdateCheck::replied);
    check.start();
    QTRY_COMPARE(replied.size(), 1);
    QCOMPARE(replied.first().first().toString(), QString());
    const QList<FakeHttpClient::Seen> requests = http.requests();
    QCOMPARE(requests.size(), 6);
    const QList<QByteArray> headers = requests.first().request.headers;
    QCOMPARE(headers.size(), 4);
    QCOMPARE(headers[0], "User-Version: " + GetVersionText(QStringLiteral("%d.%d.%d.%d")).toLatin1());
    QCOMPARE(headers[1], "User-Language: " + CurrentLanguage().toLatin1());
    QCOMPARE(headers[2], QByteArray("User-Debug: false"));
    QCOMPARE(headers[3], "User-Union: " + GetInstallationId().toLatin1());
    QVERIFY(requests.first().request.stallTimeout.count() > 0);

    // The hold notice: the version and the command alone.
    check.sendHoldNotice();
    QTRY_COMPARE(http.requests().size(), 7);
    QCOMPARE(http.requests().last().request.headers,
        (QList<QByteArray> { headers[0], QByteArray("User-Command: hold") }));
    qunsetenv("LUMETRA_UPDATE_INTERVAL_MS");
}

void TestUpdate::anyCompleteReplyCounts()
{
    TestHome home;
    home.apply();
    FakeHttpClient http;
    // An error status with bytes that are not UTF-8 around the keys.
    http.respond = [](const FakeHttpClient::Seen&) {
        return HttpReply { {}, 500,
            "\xff\xfe{\"update\":\"https://d.example/\",\xc3\"notify\":\"https://n.example/\"}" };
    };
    UpdateCheck check(http, QUrl(QStringLiteral("https://u.example/api.init.php")));
    QSignalSpy replied(&check, &UpdateCheck::replied);
    check.start();
    QTRY_COMPARE(replied.size(), 1);
    QCOMPARE(http.requests().size(), 1);
    const UpdateReply read = ReadUpdateReply(replied.first().first().toString());
    QCOMPARE(read.update, QStringLiteral("https://d.example/"));
    QCOMPARE(read.notify, QStringLiteral("https://n.example/"));
}

void TestUpdate::quitDuringTheWaitsEndsAtOnce()
{
    TestHome home;
    home.apply();
    qunsetenv("LUMETRA_UPDATE_INTERVAL_MS");
    FakeHttpClient http;
    http.respond = [](const FakeHttpClient::Seen&) { return HttpReply { QStringLiteral("refused"), 0, {} }; };
    auto check = std::make_unique<UpdateCheck>(http, QUrl(QStringLiteral("https://u.example/api.init.php")));
    QSignalSpy replied(check.get(), &UpdateCheck::replied);
    check->start();
    QTRY_COMPARE(http.requests().size(), 1);
    QElapsedTimer timer;
    timer.start();
    check.reset();
    // Far below the ten seconds of a wait: nothing waits them out.
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCoreApplication::processEvents();
    QCOMPARE(replied.size(), 0);
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestUpdate)
#include "tst_update.moc"
