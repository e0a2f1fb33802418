#include "platform/fake/FakePlatform.h"
#include "recording/DosCommand.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

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

// The console process runner: its line splitting, its command lines, and real children.
class TestDosCommand : public QObject
{
    Q_OBJECT

private slots:
    void splitter_data();
    void splitter();
    void commandLine_data();
    void commandLine();
    void linesInOrderThenTheEnd();
    void inputInOrderWithoutBlocking();
    void timeLimitsAndStopEndTheWholeGroup_data();
    void timeLimitsAndStopEndTheWholeGroup();
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

void TestDosCommand::commandLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("quoted program, double blanks")
        << QStringLiteral(R"("C:\Apps\ffmpeg.exe" -rtbufsize 150M  -y "D:\Captures\clip.mp4")")
        << QStringList { R"(C:\Apps\ffmpeg.exe)", "-rtbufsize", "150M", "-y", R"(D:\Captures\clip.mp4)" };
    QTest::newRow("quotes inside an argument")
        << QStringLiteral(R"(ffmpeg -i audio="ALT NAME" -vf "scale=trunc(iw/2)*2")")
        << QStringList { "ffmpeg", "-i", "audio=ALT NAME", "-vf", "scale=trunc(iw/2)*2" };
    QTest::newRow("backslashes before quotes") << QStringLiteral(R"(p a\\\"b "c\\" d\e "x""y")")
                                               << QStringList { "p", R"(a\"b)", R"(c\)", R"(d\e)", R"(x"y)" };
    QTest::newRow("empty argument and tabs") << QStringLiteral("p \"\"\tq") << QStringList { "p", "", "q" };
    QTest::newRow("program keeps its backslashes")
        << QStringLiteral(R"(C:\a\b.exe x)") << QStringList { R"(C:\a\b.exe)", "x" };
}

void TestDosCommand::commandLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    QCOMPARE(TDosCommand::SplitCommandLine(line), arguments);
}

void TestDosCommand::linesInOrderThenTheEnd()
{
    TDosCommand command;
    Run run;
    watch(command, run);
    command.setCommandLine(
        QStringLiteral(R"(/bin/sh -c "printf 'one\r\ntwo\r'; sleep 0.2; printf 'thr'; exit 3")"));
    command.Execute();
    QVERIFY(command.IsRunning());
    QCOMPARE(command.EndStatus(), TDosCommand::esStill_Active);
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QVERIFY(!command.IsRunning());
    QCOMPARE(run.late, 0);
    const QList<Line> expected { { "one", Entire }, { "two", Entire }, { "thr", Beginning },
        { "thr", Entire } };
    QCOMPARE(run.lines, expected);
    QCOMPARE(command.Lines(), (QStringList { "one", "two", "thr" }));
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

void TestDosCommand::timeLimitsAndStopEndTheWholeGroup_data()
{
    QTest::addColumn<int>("afterBeginning");
    QTest::addColumn<int>("afterLastOutput");
    QTest::addColumn<int>("status");
    QTest::newRow("Stop") << 0 << 0 << int(TDosCommand::esStop);
    QTest::newRow("time after the beginning") << 1 << 0 << int(TDosCommand::esTime);
    QTest::newRow("time after the last line end") << 0 << 1 << int(TDosCommand::esTime);
}

void TestDosCommand::timeLimitsAndStopEndTheWholeGroup()
{
    QFETCH(int, afterBeginning);
    QFETCH(int, afterLastOutput);
    QFETCH(int, status);
    TDosCommand command;
    Run run;
    watch(command, run);
    command.MaxTimeAfterBeginning = afterBeginning;
    command.MaxTimeAfterLastOutput = afterLastOutput;
    // A grandchild that would outlive a child ended alone.
    command.setProgram(
        QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("sleep 60 & echo $!; wait") });
    QElapsedTimer clock;
    clock.start();
    command.Execute();
    QTRY_VERIFY_WITH_TIMEOUT(!run.lines.isEmpty(), 10000);
    const pid_t grandchild = pid_t(run.lines.first().text.toInt());
    QVERIFY(grandchild > 0);
    if (status == TDosCommand::esStop) {
        command.Stop();
        QVERIFY(command.IsRunning()); // until the end has been seen
    }
    QTRY_VERIFY_WITH_TIMEOUT(run.terminated, 10000);
    QCOMPARE(int(command.EndStatus()), status);
    if (status == TDosCommand::esTime)
        QVERIFY2(
            clock.elapsed() >= 1900 && clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
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
    command.setCommandLine(QStringLiteral(R"("/nonexistent/enc oder" -y out.mp4)"));
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
