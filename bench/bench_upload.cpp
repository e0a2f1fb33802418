// The upload of a 1920x1080 screen of text and photo to the image store that ships with the program, on
// 127.0.0.1: the request body alone (the PNG encoding with its framing), the whole upload through the
// program's HTTP module, and the same PNG file posted by the curl command-line tool. The transfer is the
// difference between the first two; curl shows what a plain client takes for it.

#include "MixedScreen.h"
#include "platform/curl/LazyHttpClient.h"
#include "save/Save.h"
#include "sharing/Upload.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QImage& picture()
{
    static const QImage image = mixedScreen();
    return image;
}

// One store for the whole run, on a free port.
class Store
{
public:
    Store()
    {
        m_process.start(QStringLiteral(LUMETRA_BINARY_DIR "/lumetra-store"),
            { QStringLiteral("--folder"), m_folder.path(), QStringLiteral("--listen"),
                QStringLiteral("127.0.0.1:0") });
        if (m_process.waitForReadyRead(15000))
            host = QStringLiteral("127.0.0.1:")
                + QString::fromLatin1(m_process.readLine()).section(QLatin1Char(' '), -1).trimmed();
    }
    ~Store()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString host;
    QString folder() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

Store& store()
{
    static Store instance;
    return instance;
}

void RequestBody(benchmark::State& state)
{
    const QByteArray boundary = uploadBoundary();
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray body = uploadBody(picture(), boundary);
        size = body.size();
        benchmark::DoNotOptimize(body.constData());
    }
    state.counters["bytes"] = double(size);
}

void WholeUpload(benchmark::State& state)
{
    static LazyHttpClient http;
    QString address;
    // The module is loaded before timing starts.
    uploadImage(http, store().host, picture(), {}, address);
    if (address.isEmpty()) {
        state.SkipWithError("the store did not take the picture");
        return;
    }
    for (auto _ : state) {
        uploadImage(http, store().host, picture(), {}, address);
        benchmark::DoNotOptimize(address);
    }
}

void CurlCommandLine(benchmark::State& state)
{
    const QString file = store().folder() + QStringLiteral("/../bench-upload.png");
    SaveBitmapPNG(picture(), file);
    for (auto _ : state) {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
            { QStringLiteral("-s"), QStringLiteral("-0"), QStringLiteral("-F"),
                QStringLiteral("file=@%1;type=image/png").arg(file),
                QStringLiteral("http://%1/image").arg(store().host) });
        if (!curl.waitForFinished(30000) || !curl.readAllStandardOutput().contains("success")) {
            state.SkipWithError("curl could not upload");
            break;
        }
    }
    QFile::remove(file);
}

} // namespace

BENCHMARK(RequestBody)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WholeUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CurlCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    // The picture is drawn with text, which needs the fonts of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
