#include "PictureWindow.h"
#include "Pictures.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "app/RecordingCard.h"
#include "capture/CaptureSource.h"
#include "capture/RegionFrame.h"
#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"
#include "targets/Targets.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QStackedWidget>

#include <sys/mount.h>
#include <unistd.h>

namespace {

// The desktop's own facilities, with message boxes that answer from a script instead of waiting for a
// person.
class ScriptedBoxesPlatform final : public Platform
{
public:
    explicit ScriptedBoxesPlatform(std::unique_ptr<Platform> real) : m_real(std::move(real)) { }
    ScreenSource& screen() override { return m_real->screen(); }
    MessageBoxes& messages() override { return boxes; }
    Shell& shell() override { return m_real->shell(); }
    SoundPlayer& sound() override { return m_real->sound(); }
    InstanceChannel& channel() override { return m_real->channel(); }
    WindowSystem& windows() override { return m_real->windows(); }
    FolderDialog& folders() override { return m_real->folders(); }
    HotKeys& hotKeys() override { return m_real->hotKeys(); }
    SessionEnd& session() override { return m_real->session(); }
    Clipboard& clipboard() override { return m_real->clipboard(); }
    Printer& printer() override { return m_real->printer(); }
    SaveDialog& saveDialog() override { return m_real->saveDialog(); }
    HttpClient& http() override { return m_real->http(); }
    OcrEngine& ocr() override { return m_real->ocr(); }

    FakeMessageBoxes boxes;

private:
    std::unique_ptr<Platform> m_real;
};

// What ffprobe says of a file: "stream.codec_name", "format.duration" ... for the first stream of each
// type ("video." and "audio." prefixes).
QMap<QString, QString> probe(const QString& file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
            QStringLiteral("stream=codec_type,codec_name,width,height,r_frame_rate,channels:format=duration"),
            QStringLiteral("-of"), QStringLiteral("flat"), file });
    ffprobe.waitForFinished(30000);
    QMap<QString, QString> values;
    QString type;
    const QStringList lines = QString::fromUtf8(ffprobe.readAllStandardOutput()).split(u'\n');
    // streams.stream.0.codec_type="video"
    QMap<QString, QString> typeOfStream;
    for (const QString& line : lines) {
        const QString key = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1).remove(u'"');
        if (key.endsWith(QLatin1String(".codec_type")))
            typeOfStream[key.section(u'.', 2, 2)] = value;
    }
    for (const QString& line : lines) {
        const QString key = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1).remove(u'"');
        if (key.startsWith(QLatin1String("format.")))
            values[key] = value;
        else if (key.startsWith(QLatin1String("streams.stream."))) {
            const QString name = typeOfStream.value(key.section(u'.', 2, 2)) + u'.' + key.section(u'.', 3);
            if (!values.contains(name))
                values[name] = value;
        }
    }
    return values;
}

// The frame of the video at `seconds`.
QImage frameAt(const QString& file, double seconds)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"), QString::number(seconds),
            QStringLiteral("-i"), file, QStringLiteral("-frames:v"), QStringLiteral("1"),
            QStringLiteral("-f"), QStringLiteral("image2pipe"), QStringLiteral("-vcodec"),
            QStringLiteral("png"), QStringLiteral("-") });
    ffmpeg.waitForFinished(30000);
    return QImage::fromData(ffmpeg.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
}

// A file system of its own for the save folder: read-only or nearly full. Root passes permission bits, so
// it takes a mount to refuse it anything.
class SmallMount
{
public:
    SmallMount(const QString& path, const char* options) : m_path(QFile::encodeName(path))
    {
        QDir().mkpath(path);
        m_mounted = ::geteuid() == 0 && ::mount("tmpfs", m_path.constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallMount()
    {
        if (m_mounted)
            ::umount(m_path.constData());
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

} // namespace

// Recording to MP4 from the main window, with the real encoder, on two monitors of a dummy X server:
// DUMMY1 (1280x1024) at x 0, left of the primary DUMMY0 (1920x1080) at x 1280.
class TestX11Recording : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Recording(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void monitorRecordingStartsAndStopsByTheCommand();
    void regionRecordingHoldsThePicture();
    void soundAndARefusedQuit();
    void encoderFailureIsReported_data();
    void encoderFailureIsReported();

private:
    std::unique_ptr<TestProgram> mainWindow();
    // Records until the encoder has reported `seconds` of video, then stops with the command.
    void recordFor(TestProgram& program, int seconds);
    void shoot(QWidget* window, const QString& name);

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<ScriptedBoxesPlatform> m_platform;
};

void TestX11Recording::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("ffmpeg"), QStringLiteral("ffmpeg"), &error), qPrintable(error));
    QVERIFY2(haveTool(QStringLiteral("ffprobe"), QStringLiteral("ffmpeg"), &error), qPrintable(error));
    QVERIFY2(haveTool(QStringLiteral("pulseaudio"), QStringLiteral("pulseaudio"), &error), qPrintable(error));
    QVERIFY(m_desk.setMonitors(QSize(1920, 1080), QSize(1280, 1024)));
}

void TestX11Recording::init()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    m_platform = std::make_unique<ScriptedBoxesPlatform>(createPlatform());
    QTRY_COMPARE(m_platform->screen().monitors().size(), 2);
}

void TestX11Recording::cleanup()
{
    m_platform.reset();
    m_home.reset();
}

std::unique_ptr<TestProgram> TestX11Recording::mainWindow()
{
    auto program = std::make_unique<TestProgram>(*m_platform);
    program->start();
    program->chooseTarget(stMP4);
    // The encoder is on PATH: nothing to say.
    if (!m_platform->boxes.shown.isEmpty())
        qWarning() << m_platform->boxes.shown.first().text;
    if (program->checked(QStringLiteral("ChkMouse")))
        program->click(QStringLiteral("ChkMouse"));
    // Settings outlive the test function that stored them: each test sets what it records.
    program->chooseSource(csFullScreen);
    program->settings().setSaveFolder(m_home->desktop);
    return program;
}

// The recording card's time, as the user reads it.
static QString shownTime(const TestProgram& program)
{
    return program.find<RecordingCard>(QStringLiteral("Card3"))->time();
}

void TestX11Recording::recordFor(TestProgram& program, int seconds)
{
    // The card shows whole seconds of the encoder's own clock: the command follows the moment it turns.
    const QString length = QTime(0, 0).addSecs(seconds).toString(QStringLiteral("hh:mm:ss"));
    QTRY_VERIFY_WITH_TIMEOUT(shownTime(program) >= length, (seconds + 10) * 1000);
    program.capture();
}

void TestX11Recording::shoot(QWidget* window, const QString& name)
{
    // For people looking at the windows: LUMETRA_SHOTS names a folder to keep pictures in.
    const QString folder = qEnvironmentVariable("LUMETRA_SHOTS");
    if (folder.isEmpty())
        return;
    QImage picture(window->frameGeometry().size(), QImage::Format_RGB32);
    if (m_platform->screen().copyArea(window->frameGeometry(), picture))
        picture.save(folder + u'/' + name);
}

void TestX11Recording::monitorRecordingStartsAndStopsByTheCommand()
{
    auto program = mainWindow();
    QVERIFY(m_platform->boxes.shown.isEmpty());
    program->window().show();
    QCursor::setPos(300, 500);
    QTRY_COMPARE(m_platform->screen().cursorPos(), QPoint(300, 500));
    program->capture();
    QCOMPARE(program->state(), CaptureDispatcher::State::Recording);
    QVERIFY(program->program().recording().isRecording());
    QCOMPARE(program->window().page(), MainWindow::Page::Recording);
    QVERIFY(!program->list(QStringLiteral("ChkArea"))->isEnabled());
    QTRY_COMPARE(shownTime(*program), QStringLiteral("00:00:00"));
    QTRY_VERIFY_WITH_TIMEOUT(shownTime(*program) >= QStringLiteral("00:00:01"), 10000);
    shoot(&program->window(), QStringLiteral("recording-card.png"));
    recordFor(*program, 3);
    // Stopping: the card stays until the encoder has written the file and ended.
    QVERIFY(program->program().recording().isRecording());
    QCOMPARE(program->window().page(), MainWindow::Page::Recording);
    QTRY_VERIFY_WITH_TIMEOUT(!program->program().recording().isRecording(), 10000);
    QCOMPARE(program->window().page(), MainWindow::Page::Options);
    QCOMPARE(shownTime(*program), QStringLiteral("00:00:00"));
    QVERIFY(program->list(QStringLiteral("ChkArea"))->isEnabled());
    QCOMPARE(program->state(), CaptureDispatcher::State::Idle);

    const auto video = probe(program->settings().saveFolder() + QStringLiteral("/Q-001.mp4"));
    QCOMPARE(video.value(QStringLiteral("video.codec_name")), QStringLiteral("h264"));
    QCOMPARE(video.value(QStringLiteral("video.width")), QStringLiteral("1280"));
    QCOMPARE(video.value(QStringLiteral("video.height")), QStringLiteral("1024"));
    QCOMPARE(video.value(QStringLiteral("video.r_frame_rate")), QStringLiteral("30/1"));
    QVERIFY(!video.contains(QStringLiteral("audio.codec_name")));
    const double duration = video.value(QStringLiteral("format.duration")).toDouble();
    // Stopped as the card turned to three seconds: the encoder reports its clock about twice a second.
    QVERIFY2(duration >= 2.9 && duration <= 3.8, qPrintable(QString::number(duration)));
    QVERIFY(m_platform->boxes.shown.isEmpty());
}

void TestX11Recording::regionRecordingHoldsThePicture()
{
    const QImage picture = Pictures::screen(641, 481);
    PictureWindow beneath(picture, QPoint(1500, 300));
    QVERIFY(showAndWait(beneath));
    auto program = mainWindow();
    // A save folder whose name no command line could carry unquoted.
    const QString folder = m_home->home + QStringLiteral("/a \"b\" c 영상");
    QVERIFY(QDir().mkpath(folder));
    program->settings().setSaveFolder(folder);
    program->chooseSource(csRegion);
    RegionFrame* frame = program->program().sourceWindows().regionFrame();
    QVERIFY(frame);
    frame->SetSize(641, 481, 0);
    frame->SetMove(1500 - RegionFrame::Border, 300 - frame->HeaderHeight() - RegionFrame::Border);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QTRY_COMPARE(frame->GetRect(), QRect(1500, 300, 641, 481));
    QTest::qWait(300);

    program->capture();
    QVERIFY(program->program().recording().isRecording());
    QTRY_VERIFY(frame->LvlRecTime->font().bold());
    QVERIFY(frame->LvlRecTime->text().startsWith(QLatin1String("[REC] 00:00:0")));
    QCOMPARE(frame->LvlRecTime->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QTRY_VERIFY_WITH_TIMEOUT(frame->LvlRecTime->text() >= QStringLiteral("[REC] 00:00:01"), 10000);
    shoot(frame, QStringLiteral("region-frame-recording.png"));
    // The frame stays where the recording started: keys neither move nor resize it.
    QTest::keyClick(frame, Qt::Key_Left);
    QTest::keyClick(frame, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(frame->GetRect(), QRect(1500, 300, 641, 481));
    // Closing the frame stops the recording.
    frame->close();
    QTRY_VERIFY_WITH_TIMEOUT(!program->program().recording().isRecording(), 10000);
    QCOMPARE(frame->LvlRecTime->text(), QStringLiteral("[REC] 00:00:00"));
    QVERIFY(!frame->LvlRecTime->font().bold());
    QCOMPARE(frame->LvlRecTime->palette().color(QPalette::WindowText), QColor(128, 0, 0));

    const QString file = folder + QStringLiteral("/Q-001.mp4");
    const auto video = probe(file);
    QCOMPARE(video.value(QStringLiteral("video.width")), QStringLiteral("640"));
    QCOMPARE(video.value(QStringLiteral("video.height")), QStringLiteral("480"));
    const double duration = video.value(QStringLiteral("format.duration")).toDouble();
    QVERIFY2(duration >= 1.0 && duration < 4.0, qPrintable(QString::number(duration)));
    const QImage shown = frameAt(file, 0.5);
    QCOMPARE(shown.size(), QSize(640, 480));
    const double psnr = Pictures::psnr(shown, picture.copy(0, 0, 640, 480));
    QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));
    QVERIFY(m_platform->boxes.shown.isEmpty());
}

void TestX11Recording::soundAndARefusedQuit()
{
    // A private sound server with a null sink, and a tone played into it.
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("pulseaudio"),
        { QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("--disallow-exit"), QStringLiteral("-L"),
            QStringLiteral("module-native-protocol-unix"), QStringLiteral("-L"),
            QStringLiteral("module-null-sink sink_name=nul") });
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_home->runtime + QStringLiteral("/pulse/native")), 10000);
    QProcess tone;
    tone.start(QStringLiteral("ffmpeg"),
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-re"), QStringLiteral("-f"),
            QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=20"),
            QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("-device"), QStringLiteral("nul"),
            QStringLiteral("tone") });

    auto program = mainWindow();
    if (!program->checked(QStringLiteral("ChkAudio")))
        program->click(QStringLiteral("ChkAudio"));
    QCursor::setPos(2000, 500);
    program->capture();
    QVERIFY(program->program().recording().isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(shownTime(*program) >= QStringLiteral("00:00:01"), 10000);
    // Quit, confirmed: refused while recording, and the recording goes on.
    m_platform->boxes.answers = { MessageResult::Yes };
    program->click(QStringLiteral("N10"));
    QCOMPARE(m_platform->boxes.shown.size(), 2);
    QCOMPARE(m_platform->boxes.shown[1].text, QStringLiteral("녹화중입니다."));
    QCOMPARE(m_platform->boxes.shown[1].icon, MessageIcon::Information);
    QVERIFY(program->program().recording().isRecording());
    const QString before = shownTime(*program);
    QTRY_VERIFY_WITH_TIMEOUT(shownTime(*program) > before, 5000);
    program->capture();
    QTRY_VERIFY_WITH_TIMEOUT(!program->program().recording().isRecording(), 10000);
    tone.kill();
    tone.waitForFinished();
    server.kill();
    server.waitForFinished();

    const auto video = probe(program->settings().saveFolder() + QStringLiteral("/Q-001.mp4"));
    QCOMPARE(video.value(QStringLiteral("video.width")), QStringLiteral("1920"));
    QCOMPARE(video.value(QStringLiteral("audio.codec_name")), QStringLiteral("aac"));
    QCOMPARE(video.value(QStringLiteral("audio.channels")), QStringLiteral("2"));
}

void TestX11Recording::encoderFailureIsReported_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only folder") << QByteArray("ro,size=64k") << QStringLiteral("Read-only file system");
    QTest::newRow("full file system") << QByteArray("size=64k") << QStringLiteral("No space left on device");
}

void TestX11Recording::encoderFailureIsReported()
{
    QFETCH(QByteArray, options);
    QFETCH(QString, reason);
    const QString folder = m_home->home + QStringLiteral("/small");
    SmallMount mount(folder, options.constData());
    if (!mount.mounted())
        QSKIP("a small file system needs root to mount");
    // A busy picture, so that the video outgrows the small file system at once.
    PictureWindow busy(Pictures::photo(1920, 1080), QPoint(1280, 0));
    QVERIFY(showAndWait(busy));
    auto program = mainWindow();
    program->settings().setSaveFolder(folder);
    QCursor::setPos(2000, 500);
    program->capture();
    QVERIFY(program->program().recording().isRecording());
    // Stopped by the user if the encoder has not given up by itself.
    if (!QTest::qWaitFor([&] { return !program->program().recording().isRecording(); }, 1500))
        program->capture();
    QTRY_VERIFY_WITH_TIMEOUT(!program->program().recording().isRecording(), 10000);
    QStringList texts;
    for (const ShownMessage& box : std::as_const(m_platform->boxes.shown))
        texts.append(box.text);
    QVERIFY2(texts.size() == 1, qPrintable(texts.join(QLatin1String(" | "))));
    const ShownMessage& shown = m_platform->boxes.shown.first();
    QCOMPARE(shown.icon, MessageIcon::Error);
    QVERIFY2(shown.text.startsWith(QStringLiteral("캡쳐가 실패하였습니다.\r\r")), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
    QCOMPARE(program->state(), CaptureDispatcher::State::Idle);
}

LUMETRA_X11_TEST_MAIN(TestX11Recording, XDesk::Server::XorgDummy, false)
#include "tst_x11recording.moc"
