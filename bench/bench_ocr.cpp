// Text recognition of a 1920x1080 screen of mixed text, enlarged three times as the TXT target does:
// Lumetra's helper (engines on every core, each on its own bands of the page) against one plain pass of
// the same engine and against the tesseract command line, side by side in one run, with word accuracy and
// peak memory.
//
//   bench_ocr [runs, default 3] [--no-cli-default]
//
// Each contender runs as a child process, so that its peak memory is its own (wait4's maximum resident
// size). The plain pass is this program itself with --plain.

#include "TextScreen.h"
#include "platform/Module.h"
#include "platform/tesseract/TesseractOcr.h"
#include "save/Save.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <tesseract/baseapi.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Run
{
    double seconds = 0;
    long peakKiB = 0;
    QString text;
};

// Runs a program with its standard input from a file and its output collected; wall time and peak memory.
Run runChild(const QStringList& arguments, const QString& input, const QStringList& extraEnvironment = {})
{
    QTemporaryDir folder;
    const QByteArray output = QFile::encodeName(folder.filePath(QStringLiteral("out")));
    std::vector<QByteArray> args;
    for (const QString& argument : arguments)
        args.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : args)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> env;
    for (char** each = environ; *each; ++each)
        env.emplace_back(*each);
    for (const QString& extra : extraEnvironment)
        env.push_back(extra.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& each : env)
        envp.push_back(each.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 0, input.isEmpty() ? "/dev/null" : QFile::encodeName(input).constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.peakKiB = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    QFile file(QString::fromLocal8Bit(output));
    if (file.open(QIODevice::ReadOnly))
        run.text = QString::fromUtf8(file.readAll());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s ended with status %d\n", argv[0], status);
    return run;
}

// The helper's records: the line texts only.
QString helperText(const QString& records)
{
    QStringList lines;
    for (const QString& record : records.split(QLatin1Char('\n')))
        if (record.startsWith(QLatin1String("L\t")))
            lines.append(record.mid(2));
    return lines.join(QLatin1Char('\n'));
}

// One engine, one pass over the whole picture: what a program that just calls the engine gets.
int plainPass(const char* raw, int width, int height, const char* folder)
{
    QFile file(QString::fromLocal8Bit(raw));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QByteArray pixels = file.readAll();
    // The engine reads 4-byte pixels as red, green, blue, alpha.
    for (qsizetype i = 0; i + 3 < pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);
    tesseract::TessBaseAPI api;
    api.SetVariable("debug_file", "/dev/null");
    if (api.Init(folder, "eng", tesseract::OEM_LSTM_ONLY) != 0)
        return 2;
    api.SetImage(reinterpret_cast<const unsigned char*>(pixels.constData()), width, height, 4, width * 4);
    const std::unique_ptr<char[]> text(api.GetUTF8Text());
    std::fputs(text ? text.get() : "", stdout);
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && QByteArray(argv[1]) == "--plain")
        return plainPass(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    QGuiApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool cliDefault = !QCoreApplication::arguments().contains(QStringLiteral("--no-cli-default"));

    const TextScreen screen = textScreen();
    QTemporaryDir folder;
    const QString raw = folder.filePath(QStringLiteral("page.raw"));
    const QString png = folder.filePath(QStringLiteral("page.png"));
    QImage enlarged = screen.image;
    ResizeBitmap(enlarged, enlarged.width() * 3, enlarged.height() * 3);
    {
        QFile file(raw);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char*>(enlarged.constBits()), enlarged.sizeInBytes())
                != enlarged.sizeInBytes())
            return 1;
    }
    enlarged.save(png);
    const QString w = QString::number(enlarged.width()), h = QString::number(enlarged.height());
    const QString data = TesseractOcr::dataFolder();
    QString error;
    const QString helper = ModuleFile(QStringLiteral("lumetra-ocr"), &error);
    if (helper.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString oneThread = QStringLiteral("OMP_THREAD_LIMIT=1");

    std::map<QString, std::vector<double>> seconds;
    std::map<QString, long> peak;
    std::map<QString, double> accuracy;
    auto note = [&](const QString& name, const Run& run, const QString& text) {
        seconds[name].push_back(run.seconds);
        peak[name] = std::max(peak[name], run.peakKiB);
        accuracy[name] = wordAccuracy(screen.lines, text);
    };
    for (int i = 0; i < runs; ++i) {
        // Capture to text as the TXT target does it: enlarge, then recognise through the helper.
        {
            QElapsedTimer timer;
            timer.start();
            QImage picture = screen.image;
            ResizeBitmap(picture, picture.width() * 3, picture.height() * 3);
            TesseractOcr engine;
            QEventLoop loop;
            OcrOutcome outcome;
            auto job = engine.recognize(
                picture, QStringLiteral("eng"),
                [&](const OcrOutcome& got) {
                    outcome = got;
                    loop.quit();
                },
                &error);
            picture = QImage();
            if (!job)
                return 1;
            loop.exec();
            Run run;
            run.seconds = double(timer.nsecsElapsed()) / 1e9;
            note(QStringLiteral("Lumetra: enlarge + recognise"), run, outcome.text);
        }
        const Run ours = runChild({ helper, data, QStringLiteral("eng"), w, h }, raw, { oneThread });
        note(QStringLiteral("Lumetra helper"), ours, helperText(ours.text));
        const Run plain = runChild({ self, QStringLiteral("--plain"), raw, w, h, data }, {}, { oneThread });
        note(QStringLiteral("engine, one plain pass"), plain, plain.text);
        const Run cli = runChild({ QStringLiteral("tesseract"), png, QStringLiteral("stdout"),
                                     QStringLiteral("-l"), QStringLiteral("eng") },
            {}, { oneThread });
        note(QStringLiteral("tesseract CLI, 1 thread"), cli, cli.text);
        if (cliDefault && i == 0) {
            const Run threads = runChild({ QStringLiteral("tesseract"), png, QStringLiteral("stdout"),
                                             QStringLiteral("-l"), QStringLiteral("eng") },
                {});
            note(QStringLiteral("tesseract CLI, default threads"), threads, threads.text);
        }
    }

    const double base = median(seconds[QStringLiteral("engine, one plain pass")]);
    std::printf("1920x1080 mixed text enlarged to %sx%s, %d run(s), %d cores; medians\n", qPrintable(w),
        qPrintable(h), runs, int(std::thread::hardware_concurrency()));
    std::printf("%-32s %9s %9s %9s %12s\n", "", "seconds", "vs plain", "words", "peak MiB");
    for (const auto& [name, values] : seconds) {
        const double time = median(values);
        std::printf("%-32s %9.2f %8.2fx %8.1f%% %12s\n", qPrintable(name), time, base / time,
            accuracy[name] * 100, peak[name] ? qPrintable(QString::number(peak[name] / 1024)) : "(in this)");
    }
    return 0;
}
