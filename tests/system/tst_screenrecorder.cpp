#include "capture/ScreenCapture.h"
#include "platform/fake/FakePlatform.h"
#include "recording/ScreenRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <ctime>

namespace {

const QStringList Codec { "-c:v", "libx264", "-preset", "ultrafast", "-r", "30", "-tune", "zerolatency",
    "-crf", "25", "-pix_fmt", "yuv420p" };
const QStringList Scale { "-vf", "scale=trunc(iw/2)*2:trunc(ih/2)*2", "-y" };

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& name, const QByteArray& data, bool executable = false)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
}

QByteArray box(const char* type, const QByteArray& body = {})
{
    QByteArray header(4, '\0');
    qToBigEndian<quint32>(quint32(8 + body.size()), header.data());
    return header + type + body;
}

// Processes other than zombies whose command line names the file.
int processesNaming(const QString& file)
{
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid.toInt() > 0 && commandLine.open(QIODevice::ReadOnly)
            && commandLine.readAll().contains(file.toUtf8()))
            ++count;
    }
    return count;
}

double cpuSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

// The recorder's command lines, its reading of the encoder's output, its log, and a whole run against a
// stand-in encoder that shows what it was given.
class TestScreenRecorder : public QObject
{
    Q_OBJECT

private slots:
    void encoderArguments_data();
    void encoderArguments();
    void evenSize_data();
    void evenSize();
    void progressTime_data();
    void progressTime();
    void sources_data();
    void sources();
    void playable();
    void runAgainstAStandInEncoder();
    void regionFramesReachTheEncoder();
    void failureNamesTheEncodersLastLine();
    void stopAndWaitReturnsWithTheFinishedFile();
    void stopAndWaitKillsAnEncoderThatHangs();
};

void TestScreenRecorder::encoderArguments_data()
{
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QRect>("monitor");
    QTest::addColumn<bool>("mouse");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("expected");
    const QString out = QStringLiteral("/home/u/a \"b\" c 영상/clip.mp4");
    QTest::newRow("primary monitor, pointer, no sound, no limit")
        << QString() << QRect(0, 0, 1920, 1080) << true << QSize() << 0
        << QStringList { "-rtbufsize", "150M", "-f", "x11grab", "-video_size", "1920x1080", "-framerate",
               "30", "-i", ":7+0,0" }
            + Codec + Scale + QStringList { out };
    QTest::newRow("second monitor, no pointer, four hours")
        << QString() << QRect(1920, 0, 2560, 1440) << false << QSize() << 240
        << QStringList { "-rtbufsize", "150M", "-f", "x11grab", "-video_size", "2560x1440", "-framerate",
               "30", "-draw_mouse", "0", "-i", ":7+1920,0" }
            + Codec + QStringList { "-t", "14400" } + Scale + QStringList { out };
    QTest::newRow("monitors left of and above the primary keep their signs")
        << QString() << QRect(-1920, -1080, 1920, 1080) << true << QSize() << 120
        << QStringList { "-rtbufsize", "150M", "-f", "x11grab", "-video_size", "1920x1080", "-framerate",
               "30", "-i", ":7+-1920,-1080" }
            + Codec + QStringList { "-t", "7200" } + Scale + QStringList { out };
    QTest::newRow("region with sound, thirty minutes")
        << QStringLiteral("alsa_input.pci-0000_00_1b.0.analog-stereo") << QRect() << false << QSize(640, 480)
        << 30
        << QStringList { "-rtbufsize", "150M", "-f", "pulse", "-i",
               "alsa_input.pci-0000_00_1b.0.analog-stereo", "-f", "rawvideo", "-pix_fmt", "bgr0",
               "-video_size", "640x480", "-framerate", "30", "-i", "/dev/fd/9", "-c:a", "aac", "-ac", "2",
               "-b:a", "128k" }
            + Codec + QStringList { "-t", "1800" } + Scale + QStringList { out };
}

void TestScreenRecorder::encoderArguments()
{
    QFETCH(QString, audio);
    QFETCH(QRect, monitor);
    QFETCH(bool, mouse);
    QFETCH(QSize, frame);
    QFETCH(int, limit);
    QFETCH(QStringList, expected);
    EncoderInput input;
    input.audioSource = audio;
    input.display = QStringLiteral(":7");
    input.monitor = monitor;
    input.mouse = mouse;
    input.frameSize = frame;
    input.frameDescriptor = 9;
    input.limitMinutes = limit;
    input.output = expected.last();
    QCOMPARE(ScreenRecorder::encoderArguments(input), expected);
}

void TestScreenRecorder::evenSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("even");
    for (const auto& [size, even] : { std::pair { 641, 640 }, { 481, 480 }, { 643, 644 }, { 483, 484 },
             { 5, 4 }, { 7, 8 }, { 640, 640 }, { 2, 2 } })
        QTest::addRow("%d", size) << size << even;
}

void TestScreenRecorder::evenSize()
{
    QFETCH(int, size);
    QFETCH(int, even);
    QCOMPARE(ScreenRecorder::evenSize(size), even);
}

void TestScreenRecorder::progressTime_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("time");
    QTest::newRow("progress")
        << "frame=  214 fps= 30 q=21.0 size=     512kB time=00:00:07.12 bitrate= 589.1kbits/s"
        << "00:00:07.12";
    QTest::newRow("cut inside the value") << "frame=  2 fps=0.0 q=0.0 size=       0kB time=00:00:0"
                                          << "";
    QTest::newRow("no time") << "Input #0, x11grab, from ':0+0,0':"
                             << "";
    QTest::newRow("N/A taken as it is") << "size=N/A time=N/A bitrate=N/A"
                                        << "N/A";
}

void TestScreenRecorder::progressTime()
{
    QFETCH(QString, line);
    QFETCH(QString, time);
    QCOMPARE(ScreenRecorder::progressTime(line), time);
}

void TestScreenRecorder::sources_data()
{
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QString>("source");
    // As ffmpeg 5.1 prints them with a private null sink, on a desktop, and without a sound server.
    QTest::newRow("null sink")
        << "Auto-detected sources for pulse:\n* nul.monitor [Monitor of Null Output] (none)\n"
        << "nul.monitor";
    QTest::newRow("default is not the first")
        << "Auto-detected sources for pulse:\n"
           "  alsa_output.pci-0000_00_1f.3.analog-stereo.monitor [Monitor of Built-in Audio] (none)\n"
           "* alsa_input.pci-0000_00_1f.3.analog-stereo [Built-in Audio Analog Stereo] (none)\n"
        << "alsa_input.pci-0000_00_1f.3.analog-stereo";
    QTest::newRow("no default: the first")
        << "Auto-detected sources for pulse:\n  first.monitor [A] (none)\n  second [B] (none)\n"
        << "first.monitor";
    QTest::newRow("no sound server")
        << "Auto-detected sources for pulse:\nCannot list sources: Generic error in an external library\n"
        << "";
}

void TestScreenRecorder::sources()
{
    QFETCH(QString, listing);
    QFETCH(QString, source);
    QCOMPARE(ScreenRecorder::parseSources(listing), source);
}

void TestScreenRecorder::playable()
{
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("v.mp4"));
    QVERIFY(!ScreenRecorder::isPlayableMp4(name));
    QVERIFY(writeFile(name, box("ftyp", "isom") + box("mdat", QByteArray(100, 'x'))));
    QVERIFY(!ScreenRecorder::isPlayableMp4(name)); // the encoder ended before writing its index
    QVERIFY(writeFile(name, box("ftyp", "isom") + box("mdat", QByteArray(100, 'x')) + box("moov")));
    QVERIFY(ScreenRecorder::isPlayableMp4(name));
}

void TestScreenRecorder::runAgainstAStandInEncoder()
{
    QTemporaryDir folder;
    const QString saveFolder = folder.filePath(QStringLiteral("a \"b\" c 영상"));
    const QString encoder = folder.filePath(QStringLiteral("ffmpeg"));
    // Notes its arguments one per line, reports progress, and takes one byte of input before it ends.
    QVERIFY(writeFile(encoder,
        "#!/bin/sh\n"
        "d=$(dirname \"$0\")\n"
        "printf '%s\\n' \"$@\" > \"$d/arguments\"\n"
        "printf 'banner\\r\\n'\n"
        "printf 'frame=1 time=00:00:07.12 bitrate=1\\r'\n"
        "head -c 1 > \"$d/input\"\n"
        "printf 'done\\r\\n'\n",
        true));
    FakeScreen screen;
    screen.setDesktop(QImage(3200, 1200, QImage::Format_RGB32));
    screen.setMonitors({ { QRect(0, 0, 1280, 1024), false, QStringLiteral("DUMMY1") },
        { QRect(1280, 0, 1920, 1080), true, QStringLiteral("DUMMY0") } });
    screen.setCursor(QPoint(100, 900));
    ScreenRecorder recorder(screen, nullptr);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.pointer = false;
    options.log = true;
    options.logFolder = [saveFolder] { return saveFolder; };
    options.output = saveFolder + QStringLiteral("/Q-001.mp4");
    recorder.setOptions(options);
    recorder.start();
    QVERIFY(recorder.isRunning());
    QCOMPARE(recorder.recordedTime(), QStringLiteral("00:00:00.00"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recordedTime(), QStringLiteral("00:00:07.12"), 10000);
    recorder.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.isRunning(), 10000);
    QCOMPARE(recorder.failure(), QString());

    const QStringList arguments = QString::fromUtf8(readFile(folder.filePath(QStringLiteral("arguments"))))
                                      .split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(arguments.mid(0, 11),
        (QStringList { "-rtbufsize", "150M", "-f", "x11grab", "-video_size", "1280x1024", "-framerate", "30",
            "-draw_mouse", "0", "-i" }));
    QVERIFY(arguments[11].endsWith(QLatin1String("+0,0")));
    QCOMPARE(arguments.last(), recorder.options().output);
    QCOMPARE(readFile(folder.filePath(QStringLiteral("input"))), QByteArray("q"));
    // Each line as the encoder wrote it, without line ends.
    QCOMPARE(readFile(saveFolder + QStringLiteral("/ffmpeg.log")),
        QByteArray("bannerframe=1 time=00:00:07.12 bitrate=1done"));
}

void TestScreenRecorder::regionFramesReachTheEncoder()
{
    QTemporaryDir folder;
    const QString encoder = folder.filePath(QStringLiteral("ffmpeg"));
    // Keeps the first two frames of its raw input (named after "-i", the second input option here).
    QVERIFY(writeFile(encoder,
        "#!/bin/sh\n"
        "d=$(dirname \"$0\")\n"
        "while [ \"$1\" != -i ]; do shift; done\n"
        "head -c 256 \"$2\" > \"$d/frames\"\n"
        "head -c 1 > /dev/null\n",
        true));
    FakeScreen screen;
    QImage desk(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            desk.setPixel(x, y, qRgb(x, y, 7));
    screen.setDesktop(desk);
    ScreenCapture capture(screen);
    ScreenRecorder recorder(screen, nullptr);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.pointer = false;
    options.output = folder.filePath(QStringLiteral("Q-001.mp4"));
    recorder.setOptions(options);
    // 7 x 3 becomes 8 x 4: one black column on the right and one black row at the bottom.
    recorder.start(capture, [] { return QRect(10, 20, 7, 3); });
    QTRY_VERIFY_WITH_TIMEOUT(readFile(folder.filePath(QStringLiteral("frames"))).size() == 256, 10000);
    recorder.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.isRunning(), 10000);
    const QByteArray frames = readFile(folder.filePath(QStringLiteral("frames")));
    const QImage first(reinterpret_cast<const uchar*>(frames.constData()), 8, 4, QImage::Format_RGB32);
    QImage expected = desk.copy(10, 20, 8, 4);
    for (int y = 0; y < 4; ++y)
        expected.setPixel(7, y, qRgb(0, 0, 0));
    for (int x = 0; x < 8; ++x)
        expected.setPixel(x, 3, qRgb(0, 0, 0));
    QCOMPARE(first, expected);
}

void TestScreenRecorder::failureNamesTheEncodersLastLine()
{
    QTemporaryDir folder;
    const QString encoder = folder.filePath(QStringLiteral("ffmpeg"));
    QVERIFY(writeFile(encoder,
        "#!/bin/sh\n"
        "printf 'frame=0 time=00:00:00.00 bitrate=0\\r'\n"
        "printf '/ro/Q-001.mp4: Permission denied\\n'\n"
        "printf 'Conversion failed!\\n'\n"
        "exit 1\n",
        true));
    FakeScreen screen;
    screen.setDesktop(QImage(640, 480, QImage::Format_RGB32));
    ScreenRecorder recorder(screen, nullptr);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.output = folder.filePath(QStringLiteral("Q-001.mp4"));
    recorder.setOptions(options);
    recorder.start();
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.isRunning(), 10000);
    QCOMPARE(recorder.failure(), QStringLiteral("/ro/Q-001.mp4: Permission denied"));
}

void TestScreenRecorder::stopAndWaitReturnsWithTheFinishedFile()
{
    QTemporaryDir folder;
    const QString encoder = folder.filePath(QStringLiteral("ffmpeg"));
    // Writes far more than a pipe holds after the "q", as a real encoder's statistics can, then the file.
    QVERIFY(writeFile(encoder,
        "#!/bin/sh\n"
        "while [ \"$2\" ]; do shift; done\n"
        "printf 'frame=1 time=00:00:01.00 bitrate=1\\r'\n"
        "head -c 1 > /dev/null\n"
        "sleep 0.3\n"
        "head -c 300000 /dev/zero | tr '\\0' 'x'\n"
        "printf '\\nlast\\n'\n"
        "printf 'moov' > \"$1\"\n",
        true));
    FakeScreen screen;
    screen.setDesktop(QImage(640, 480, QImage::Format_RGB32));
    ScreenRecorder recorder(screen, nullptr);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.log = true;
    options.logFolder = [&folder] { return folder.path(); };
    options.output = folder.filePath(QStringLiteral("Q-001.mp4"));
    recorder.setOptions(options);
    recorder.start();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recordedTime(), QStringLiteral("00:00:01.00"), 10000);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(recorder.stopAndWait());
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    // Ended when it returns, its output read to the last line, without the event loop.
    QVERIFY(!recorder.isRunning());
    QCOMPARE(recorder.failure(), QString());
    QCOMPARE(readFile(recorder.options().output), QByteArray("moov"));
    QVERIFY(readFile(folder.filePath(QStringLiteral("ffmpeg.log"))).endsWith("last"));
    QCOMPARE(processesNaming(encoder), 0);
}

void TestScreenRecorder::stopAndWaitKillsAnEncoderThatHangs()
{
    QTemporaryDir folder;
    const QString encoder = folder.filePath(QStringLiteral("ffmpeg"));
    // Never reads its input and never ends on its own.
    QVERIFY(writeFile(encoder,
        "#!/bin/sh\n"
        "printf 'frame=1 time=00:00:01.00 bitrate=1\\r'\n"
        "sleep 60\n",
        true));
    FakeScreen screen;
    screen.setDesktop(QImage(640, 480, QImage::Format_RGB32));
    ScreenRecorder recorder(screen, nullptr);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.output = folder.filePath(QStringLiteral("Q-001.mp4"));
    recorder.setOptions(options);
    recorder.start();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recordedTime(), QStringLiteral("00:00:01.00"), 10000);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    QVERIFY(!recorder.stopAndWait(std::chrono::milliseconds(1500)));
    const qint64 waited = clock.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY2(waited >= 1400 && waited < 3000, qPrintable(QString::number(waited)));
    // The wait sleeps: a poll loop would burn the whole second and a half.
    QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
    QVERIFY(!recorder.isRunning());
    QCOMPARE(processesNaming(encoder), 0);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestScreenRecorder test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screenrecorder.moc"
