#include "Pictures.h"
#include "SmallMount.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "support/Q.Translate.h"
#include "support/Q.TrayIcon.h"
#include "targets/FloatingTarget.h"
#include "targets/Targets.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

const QString Address = QStringLiteral("http://img.example/a.png");

HttpReply stored()
{
    return HttpReply { {}, 200, R"({"status":"success","url":"http:\/\/img.example\/a.png"})" };
}

QWidget* strip()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("ProgressForm"))
            return window;
    return nullptr;
}

int floatingWindows()
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += qobject_cast<FloatingWindow*>(window) != nullptr;
    return count;
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The image store and the floating windows behind the main window, on the fake platform.
class TestSharing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadRunsWhileTheWindowGoesOn();
    void failedUploadSaysSo();
    void quitDuringAnUploadDoesNotWait();
    void floatingWindowLiesOverItsCapture();
    void deleteOneOrAll();
    void closingOnlyHides();
    void saveWritesTheChosenType();
    void saveIntoAReadOnlyFolderSaysWhy();

private:
    FloatingTarget& floating() const { return m_program->dispatcher().targets().floating(); }
    // A capture of the rectangle handed to the floating target, as the dispatch hands it.
    FloatingWindow* openFloating(const QRect& rect) const
    {
        Shot shot { m_desk.copy(rect), rect };
        floating().deliver(shot);
        return floating().windows().back().get();
    }
    // The requests to the image store, without the update check that every start makes.
    QList<FakeHttpClient::Seen> uploads() const
    {
        QList<FakeHttpClient::Seen> found = m_platform->fakeHttp.requests();
        found.removeIf([](const FakeHttpClient::Seen& seen) {
            return seen.request.url.path() != QLatin1String("/image");
        });
        return found;
    }
    QList<ShownMessage>& shown() const { return m_platform->fakeMessages.shown; }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
    QImage m_desk;
};

void TestSharing::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    m_desk = Pictures::photo(1920, 1080, 5);
}

void TestSharing::init()
{
    QDir(m_home->config).removeRecursively();
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(m_desk);
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
    m_program->click(QStringLiteral("ChkMouse"));
}

void TestSharing::cleanup()
{
    m_program.reset();
    m_platform.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestSharing::uploadRunsWhileTheWindowGoesOn()
{
    m_platform->fakeHttp.respond = [](const FakeHttpClient::Seen&) { return stored(); };
    m_platform->fakeHttp.hold();
    m_program->click(QStringLiteral("ChkSound3"));
    m_program->chooseTarget(stImageStore);
    // A panel along the bottom.
    m_platform->fakeScreen.setWorkArea(QRect(0, 0, 1920, 1040));
    m_program->capture();

    // The sound comes first; the strip shows and fills while the store has not answered yet.
    QCOMPARE(m_platform->fakeSound.plays, 1);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Delivering);
    QWidget* shownStrip = strip();
    QVERIFY(shownStrip && shownStrip->isVisible());
    // Along the bottom of the work area, above the panel, the whole width.
    QCOMPARE(shownStrip->geometry().bottom(), 1039);
    QCOMPARE(shownStrip->width(), 1920);
    auto gauge = shownStrip->findChild<QProgressBar*>();
    QTRY_VERIFY(gauge->maximum() > 1000 && gauge->value() == gauge->maximum());
    QCOMPARE(qint64(gauge->maximum()), uploads().value(0).body.size());

    // Held off: a second capture takes nothing and sends nothing.
    const int copies = m_platform->fakeScreen.copyCount();
    m_program->capture();
    QCOMPARE(m_platform->fakeScreen.copyCount(), copies);
    QCOMPARE(uploads().size(), 1);

    m_platform->fakeHttp.release();
    QTRY_COMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(m_platform->fakeShell.opened, QList<QUrl> { QUrl(Address) });
    QVERIFY(shown().isEmpty());
    QVERIFY(!strip());
    // Nothing kept here, nothing on the clipboard; the sound played once.
    QVERIFY(QDir(m_home->desktop).isEmpty());
    QVERIFY(m_platform->fakeClipboard.image.isNull());
    QCOMPARE(m_platform->fakeSound.plays, 1);
    // The picture that went out is the screen's.
    const QByteArray body = uploads().value(0).body;
    const qsizetype start = body.indexOf("\x89PNG");
    QCOMPARE(QImage::fromData(body.mid(start), "PNG").convertToFormat(QImage::Format_RGB32), m_desk);
}

void TestSharing::failedUploadSaysSo()
{
    m_platform->fakeHttp.respond = [](const FakeHttpClient::Seen&) { return HttpReply { {}, 500, "busy" }; };
    bool stripDuringBox = false;
    m_platform->fakeMessages.whileShown = [&](const ShownMessage&) { stripDuringBox = strip() != nullptr; };
    m_program->chooseTarget(stImageStore);
    m_program->capture();
    QTRY_COMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(shown().size(), 1);
    const ShownMessage& box = shown().first();
    QCOMPARE(box.icon, MessageIcon::Error);
    QCOMPARE(box.text, TranslateText(QStringLiteral("이미지 업로드를 실패하였습니다.")));
    QCOMPARE(box.title, m_program->window().windowTitle());
    QVERIFY(stripDuringBox);
    QVERIFY(!strip());
    QVERIFY(m_platform->fakeShell.opened.isEmpty());
    // The next capture goes out again.
    m_program->capture();
    QTRY_COMPARE(uploads().size(), 2);
}

void TestSharing::quitDuringAnUploadDoesNotWait()
{
    m_platform->fakeHttp.hold();
    m_program->chooseTarget(stImageStore);
    m_program->capture();
    QTRY_COMPARE(uploads().size(), 1);
    m_program.reset();
    QVERIFY(!strip());
    QVERIFY(m_platform->fakeShell.opened.isEmpty());
}

void TestSharing::floatingWindowLiesOverItsCapture()
{
    // Through the dispatch: the monitor under the pointer, pinned where it was.
    m_program->chooseTarget(stFloating);
    m_program->capture();
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(floating().windows().size(), size_t(1));
    FloatingWindow* first = floating().windows().front().get();
    QVERIFY(first->isVisible());
    QCOMPARE(first->geometry(), QRect(0, 0, 1920, 1080));
    QCOMPARE(first->bitmap(), m_desk);
    QVERIFY(first->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(first->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(QDir(m_home->desktop).isEmpty());

    // Left of the primary monitor, at negative coordinates.
    FloatingWindow* left = openFloating(QRect(-500, 120, 300, 200));
    QCOMPARE(left->geometry(), QRect(-500, 120, 300, 200));
    QCOMPARE(left->grab().toImage().convertToFormat(QImage::Format_RGB32), left->bitmap());

    // It stays when the main window hides in the tray.
    HideToTray(&m_program->window());
    QVERIFY(left->isVisible() && first->isVisible());
}

void TestSharing::deleteOneOrAll()
{
    FloatingWindow* a = openFloating(QRect(10, 10, 100, 80));
    FloatingWindow* b = openFloating(QRect(50, 40, 100, 80));
    FloatingWindow* c = openFloating(QRect(90, 70, 100, 80));
    QPointer<QWidget> gone = b;
    QCOMPARE(b->findChild<QAction*>(QStringLiteral("BtnDelete"))->text(), QStringLiteral("플로팅 삭제"));
    b->findChild<QAction*>(QStringLiteral("BtnDelete"))->trigger();
    // Out of sight at once, freed once control is back in the event loop.
    QVERIFY(!b->isVisible());
    QCOMPARE(floating().windows().size(), size_t(2));
    QCOMPARE(floating().windows()[0].get(), a);
    QCOMPARE(floating().windows()[1].get(), c);
    QTRY_VERIFY(!gone);

    // Deleting all from any one of many.
    for (int i = 0; i < 48; ++i)
        openFloating(QRect(i * 20, i * 10, 400, 300));
    QCOMPARE(floatingWindows(), 50);
    floating().windows()[25]->findChild<QAction*>(QStringLiteral("BtnDeleteAll"))->trigger();
    QVERIFY(floating().windows().empty());
    QTRY_COMPARE(floatingWindows(), 0);

    // The program's end frees what is still open.
    for (int i = 0; i < 5; ++i)
        openFloating(QRect(i, i, 40, 30));
    m_program.reset();
    QCOMPARE(floatingWindows(), 0);
}

void TestSharing::closingOnlyHides()
{
    FloatingWindow* window = openFloating(QRect(10, 10, 100, 80));
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(floating().windows().size(), size_t(1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(floating().windows().front().get(), window);
}

void TestSharing::saveWritesTheChosenType()
{
    FloatingWindow* window = openFloating(QRect(100, 100, 64, 48));
    m_program->pick(QStringLiteral("ChkJPEG_qual"), 0);
    const QString name = m_home->desktop + QStringLiteral("/picked.png");

    m_platform->fakeSaveDialog.answer = std::nullopt;
    window->findChild<QAction*>(QStringLiteral("BtnSave"))->trigger();
    QCOMPARE(m_platform->fakeSaveDialog.folders, QStringList { m_home->desktop });
    QStringList offered;
    for (const FileType& type : m_platform->fakeSaveDialog.offered)
        offered << type.name + QLatin1Char(' ') + type.patterns.join(QLatin1Char(';'));
    QCOMPARE(
        offered, (QStringList { "PNG *.png", "JPG *.jpg;*.jpeg", "GIF *.gif", "BMP *.bmp", "WebP *.webp" }));
    QVERIFY(QDir(m_home->desktop).isEmpty());

    // The type chosen decides, not the name's extension.
    const QList<std::pair<int, QByteArray>> types
        = { { 1, "\xFF\xD8\xFF" }, { 2, "GIF8" }, { 3, "BM" }, { 0, "\x89PNG" } };
    for (const auto& [index, magic] : types) {
        m_platform->fakeSaveDialog.answer = SaveChoice { name, index };
        window->findChild<QAction*>(QStringLiteral("BtnSave"))->trigger();
        QVERIFY2(readFile(name).startsWith(magic), qPrintable(QString::number(index)));
    }
    QVERIFY(shown().isEmpty());
    QCOMPARE(QImage(name).convertToFormat(QImage::Format_RGB32), window->bitmap());
}

void TestSharing::saveIntoAReadOnlyFolderSaysWhy()
{
    QTemporaryDir folder;
    const QString locked = folder.filePath(QStringLiteral("locked"));
    // Root passes permission bits, so it takes a read-only file system.
    std::unique_ptr<SmallMount> readOnly;
    QDir().mkpath(locked);
    if (::geteuid() == 0) {
        readOnly = std::make_unique<SmallMount>(locked, "ro,size=64k");
        if (!readOnly->mounted())
            QSKIP("cannot mount a read-only file system here");
    } else {
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    FloatingWindow* window = openFloating(QRect(100, 100, 64, 48));
    const QString name = locked + QStringLiteral("/picked.jpg");
    m_platform->fakeSaveDialog.answer = SaveChoice { name, 1 };
    window->findChild<QAction*>(QStringLiteral("BtnSave"))->trigger();
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown().first().icon, MessageIcon::Error);
    QVERIFY2(shown().first().text.contains(name), qPrintable(shown().first().text));
    QVERIFY(!QFile::exists(name));
    QVERIFY(window->isVisible());
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestSharing)
#include "tst_sharing.moc"
