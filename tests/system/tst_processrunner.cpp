#include "platform/fake/FakePlatform.h"
#include "recording/ProcessRunner.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Line = LineSplitter::Line;
Q_DECLARE_METATYPE(QList<Line>)

namespace {

constexpr auto Entire = OutputType::EntireLine;
constexpr auto Beginning = OutputType::BeginningOfLine;

struct Run
{
    QList<Line> lines;
    bool terminated = false;
    // Lines that arrived after the end was reported.
    int late = 0;
};

void watch(ProcessRunner& command, Run& run)
{
    command.setLineHandler([&run](const QString& line, OutputType type) {
        run.late += run.terminated ? 1 : 0;
        run.lines.append({ line, type });
    });
    command.setEndHandler([&run] { run.terminated = true; });
}

} // namespace

// The console process runner: its line splitting and real children.
class TestProcessRunner : public QObject
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

void TestProcessRunner::splitter_data()
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

void TestProcessRunner::splitter()
{
    QFETCH(QStringList, reads);
    QFETCH(QList<Line>, expected);
    QFETCH(QString, last);
    LineSplitter splitter;
    QList<Line> lines;
    for (const QString& read : std::as_const(reads))
        lines += splitter.feed(read);
    QCOMPARE(lines, expected);
    QCOMPARE(splitter.finish().value_or(QString()), last);
}

void TestProcessRunner::linesInOrderThenTheEnd()
{
    ProcessRunner command;
    Run run;
    watch(command, run);
    command.setProgram(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral(R"(printf 'one\r\ntwo\r'; sleep 0.2; printf 'thr'; exit 3)") });
    command.start();
    QVERIFY(command.isRunning());
    QCOMPARE(command.endStatus(), ProcessRunner::EndStatus::Running);
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QVERIFY(!command.isRunning());
    QCOMPARE(run.late, 0);
    const QList<Line> expected { { "one", Entire }, { "two", Entire }, { "thr", Beginning },
        { "thr", Entire } };
    QCOMPARE(run.lines, expected);
    QCOMPARE(command.endStatus(), ProcessRunner::EndStatus::Exited);
    QCOMPARE(command.exitCode(), 3u);
    QVERIFY_THROWS_EXCEPTION(ProcessRunnerMisuse, command.sendLine(QStringLiteral("q"), false));
}

void TestProcessRunner::inputInOrderWithoutBlocking()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("input"));
    ProcessRunner command;
    Run run;
    watch(command, run);
    // The child takes five bytes and ends.
    command.setProgram(
        QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("head -c 5 > \"$0\""), file });
    command.start();
    command.sendLine(QStringLiteral("q"), false);
    command.sendLine(QString(), false);
    command.sendLine(QStringLiteral("é"), true);
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("q\xC3\xA9\r\n"));
    QCOMPARE(command.endStatus(), ProcessRunner::EndStatus::Exited);
}

void TestProcessRunner::endingARunEndsTheWholeGroup()
{
    auto command = std::make_unique<ProcessRunner>();
    Run run;
    watch(*command, run);
    // A grandchild that would outlive a child ended alone.
    command->setProgram(
        QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("sleep 60 & echo $!; wait") });
    command->start();
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

void TestProcessRunner::programThatCannotStart()
{
    FakeMessageBoxes messages;
    ProcessRunner command(&messages);
    Run run;
    watch(command, run);
    command.setProgram(
        QStringLiteral("/nonexistent/enc oder"), { QStringLiteral("-y"), QStringLiteral("out.mp4") });
    command.start();
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QCOMPARE(command.endStatus(), ProcessRunner::EndStatus::StartError);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].icon, MessageIcon::Error);
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral(
                 "ECreateProcessError\r\nError creating Process: \"/nonexistent/enc oder\" -y out.mp4 - (")),
        qPrintable(messages.shown[0].text));

    ProcessRunner empty;
    QVERIFY_THROWS_EXCEPTION(ProcessRunnerMisuse, empty.start());
}

QTEST_GUILESS_MAIN(TestProcessRunner)
#include "tst_processrunner.moc"
