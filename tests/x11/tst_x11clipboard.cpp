#include "Pictures.h"
#include "TestMain.h"
#include "platform/qt/QtClipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QSignalSpy>

// The clipboard against other X clients: what Lumetra puts there, xclip reads back.
class TestX11Clipboard : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Clipboard(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void imageIsPasteableAsPng();
    void textRoundTrip();
    void anotherOwnerTakesOver();

private:
    // Runs xclip while this process keeps serving the selection; its standard output, or empty.
    QByteArray xclip(const QStringList& arguments, const QByteArray& input = {});

    XDesk& m_desk;
    QtClipboard m_clipboard;
};

void TestX11Clipboard::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xclip"), QStringLiteral("xclip"), &error), qPrintable(error));
}

QByteArray TestX11Clipboard::xclip(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.setProcessEnvironment(m_desk.environment());
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral("xclip"),
        QStringList { QStringLiteral("-selection"), QStringLiteral("clipboard") } + arguments);
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    // Waiting with the event loop running: the answer comes from this very process.
    if (!finished.wait(15000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return process.readAllStandardOutput();
}

void TestX11Clipboard::imageIsPasteableAsPng()
{
    const QImage picture = Pictures::screen(320, 200);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    QVERIFY(m_clipboard.setPng(encoded));
    const QByteArray targets
        = xclip({ QStringLiteral("-t"), QStringLiteral("TARGETS"), QStringLiteral("-o") });
    QVERIFY2(targets.contains("image/png"), targets.constData());
    const QByteArray png = xclip({ QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o") });
    QCOMPARE(png, encoded);
    QCOMPARE(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32), picture);
    // Pasting again gives the same: the clipboard keeps serving.
    QCOMPARE(xclip({ QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o") }).size(),
        png.size());
}

void TestX11Clipboard::textRoundTrip()
{
    const QString text = QStringLiteral("#FF8000 캡쳐 \"quoted\"");
    QVERIFY(m_clipboard.setText(text));
    QCOMPARE(QString::fromUtf8(
                 xclip({ QStringLiteral("-t"), QStringLiteral("UTF8_STRING"), QStringLiteral("-o") })),
        text);
}

void TestX11Clipboard::anotherOwnerTakesOver()
{
    QVERIFY(m_clipboard.setText(QStringLiteral("ours")));
    // xclip takes the clipboard and serves it until it is ended.
    QProcess owner;
    owner.setProcessEnvironment(m_desk.environment());
    owner.start(QStringLiteral("xclip"),
        { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet"),
            QStringLiteral("-i") });
    owner.write("theirs");
    owner.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::clipboard()->ownsClipboard(), 10000);
    QCOMPARE(xclip({ QStringLiteral("-o") }), QByteArray("theirs"));
    owner.kill();
    owner.waitForFinished();
    // Copying again takes it back.
    QVERIFY(m_clipboard.setText(QStringLiteral("ours again")));
    QCOMPARE(xclip({ QStringLiteral("-o") }), QByteArray("ours again"));
}

LUMETRA_X11_TEST_MAIN(TestX11Clipboard, XDesk::Server::Xvfb, false)
#include "tst_x11clipboard.moc"
