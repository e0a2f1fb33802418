#include "platform/fake/FakePlatform.h"
#include "recording/DosCommand.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Line = TLineSplitter::Line;
Q_DECLARE_METATYPE(QList<Line>)

namespace {

constexpr auto Entire = otEntireLine;
constexpr auto Beginning = otBeginningOfLine;

struct Run
{
    QList<Line> lines;
    bool terminated = false;
    // Lines that arrived after the end was reported.
    int late = 0;
};

void watch(TDosCommand& command, Run& run)
{
    command.OnNewLine = [&run](TDosCommand*, const QString& line, TOutputType type) {
        run.late += run.terminated ? 1 : 0;
        run.lines.append({ line, type });
    };
    command.OnTerminated = [&run](TDosCommand*) { run.terminated = true; };
}

} // namespace

// The console process runner: its line splitting and real children.
class TestDosCommand : public QObject
{
    Q_OBJECT

private slots:
    void splitter_data();
    void splitter();
    void linesInOrderThenTheEnd();
    void inputInOrderWithoutBlocking();
    void endingARunEndsTheWholeGroup();
    void programThatCannotStart();
};

void TestDosCommand::splitter_data()
{
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QList<Line>>("expected");
    QTest::addColumn<QString>("last");
    QTest::newRow("CR LF in one read") << QStringList { QStringLiteral("a\r\nb\r\n") }
                                       << QList<Line> { { "a", Entire }, { "b", Entire } } << QString();
    QTest::newRow("CR, then LF in the next read")
        << QStringList { QStringLiteral("a\r"), QStringLiteral("\nb") }
        << QList<Line> { { "a", Entire }, { "b", Beginning } } << QStringLiteral("b");
    QTest::newRow("a partial line grows")
        << QStringList { QStringLiteral("abc"), QStringLiteral("def\r") }
        << QList<Line> { { "abc", Beginning }, { "abcdef", Entire } } << QString();
    QTest::newRow("progress ended by CR alone")
        << QStringList { QStringLiteral("frame=1 time=00:00:01.00 \rframe=2 time=00:00:02.00 \r") }
        << QList<Line> { { "frame=1 time=00:00:01.00 ", Entire }, { "frame=2 time=00:00:02.00 ", Entire } }
        << QString();
    QTest::newRow("LF alone, empty lines, LF CR is two ends")
        << QStringList { QStringLiteral("a\n\nb\n\r") }
        << QList<Line> { { "a", Entire }, { "", Entire }, { "b", Entire }, { "", Entire } } << QString();
    QTest::newRow("NUL dropped") << QStringList { QString::fromUtf16(u"a\0b\r\n", 5) }
                                 << QList<Line> { { "ab", Entire } } << QString();
    QTest::newRow("no final line end")
        << QStringList { QStringLiteral("x\ny") } << QList<Line> { { "x", Entire }, { "y", Beginning } }
        << QStringLiteral("y");
}

void TestDosCommand::splitter()
{
    QFETCH(QStringList, reads);
    QFETCH(QList<Line>, expected);
    QFETCH(QString, last);
    TLineSplitter splitter;
    QList<Line> lines;
    for (const QString& read : std::as_const(reads))
        lines += splitter.Feed(read);
    QCOMPARE(lines, expected);
    QCOMPARE(splitter.Finish().value_or(QString()), last);
}

void TestDosCommand::linesInOrderThenTheEnd()
{
    TDosCommand command;
    Run run;
    watch(command, run);
    command.setProgram(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral(R"(printf 'one\r\ntwo\r'; sleep 0.2; printf 'thr'; exit 3)") });
    command.Execute();
    QVERIFY(command.IsRunning());
    QCOMPARE(command.EndStatus(), TDosCommand::esStill_Active);
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QVERIFY(!command.IsRunning());
    QCOMPARE(run.late, 0);
    const QList<Line> expected { { "one", Entire }, { "two", Entire }, { "thr", Beginning },
        { "thr", Entire } };
    QCOMPARE(run.lines, expected);
    QCOMPARE(command.EndStatus(), TDosCommand::esProcess);
    QCOMPARE(command.ExitCode(), 3u);
    QVERIFY_THROWS_EXCEPTION(EDosCommand, command.SendLine(QStringLiteral("q"), false));
}

void TestDosCommand::inputInOrderWithoutBlocking()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("input"));
    TDosCommand command;
    Run run;
    watch(command, run);
    // The child takes five bytes and ends.
    command.setProgram(
        QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("head -c 5 > \"$0\""), file });
    command.Execute();
    command.SendLine(QStringLiteral("q"), false);
    command.SendLine(QString(), false);
    command.SendLine(QStringLiteral("é"), true);
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("q\xC3\xA9\r\n"));
    QCOMPARE(command.EndStatus(), TDosCommand::esProcess);
}

void TestDosCommand::endingARunEndsTheWholeGroup()
{
    auto command = std::make_unique<TDosCommand>();
    Run run;
    watch(*command, run);
    // A grandchild that would outlive a child ended alone.
    command->setProgram(
        QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("sleep 60 & echo $!; wait") });
    command->Execute();
    QTRY_VERIFY_WITH_TIMEOUT(!run.lines.isEmpty(), 10000);
    const pid_t grandchild = pid_t(run.lines.first().text.toInt());
    QVERIFY(grandchild > 0);
    command.reset();
    QVERIFY(!run.terminated);
    // Gone, or a zombie where nobody reaps orphans.
    auto ended = [grandchild] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(grandchild));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().split(')').last().trimmed().startsWith('Z');
    };
    QTRY_VERIFY_WITH_TIMEOUT(ended(), 5000);
}

void TestDosCommand::programThatCannotStart()
{
    FakeMessageBoxes messages;
    TDosCommand command(&messages);
    Run run;
    watch(command, run);
    command.setProgram(
        QStringLiteral("/nonexistent/enc oder"), { QStringLiteral("-y"), QStringLiteral("out.mp4") });
    command.Execute();
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QCOMPARE(command.EndStatus(), TDosCommand::esError);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].icon, MessageIcon::Error);
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral(
                 "ECreateProcessError\r\nError creating Process: \"/nonexistent/enc oder\" -y out.mp4 - (")),
        qPrintable(messages.shown[0].text));

    TDosCommand empty;
    QVERIFY_THROWS_EXCEPTION(EDosCommand, empty.Execute());
}

QTEST_GUILESS_MAIN(TestDosCommand)
#include "tst_doscommand.moc"
