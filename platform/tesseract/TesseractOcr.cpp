#include "TesseractOcr.h"

#include "platform/Module.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcOcr, "lumetra.ocr", QtWarningMsg)

namespace {

const QString Helper = QStringLiteral("lumetra-ocr");
// Packs that hold no language: orientation detection and equations.
const QStringList NotLanguages = { QStringLiteral("osd"), QStringLiteral("equ") };
// Written to the helper in pieces, so that the picture is never copied whole into a buffer.
constexpr qint64 Chunk = 4 * 1024 * 1024;

QLocale::Language languageOf(const QLocale& locale)
{
    const QLocale::Language language = locale.language();
    return language == QLocale::C || language == QLocale::AnyLanguage ? QLocale::English : language;
}

class TesseractJob final : public OcrJob
{
public:
    TesseractJob(const QImage& picture, std::function<void(const OcrOutcome&)> done)
        : m_picture(picture), m_done(std::move(done))
    { }

    ~TesseractJob() override
    {
        m_process.disconnect();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    void start(const QString& program, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The helper uses the cores with engines of its own; OpenMP threads would only compete with them.
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
        m_process.setProcessEnvironment(environment);
        QObject::connect(&m_process, &QProcess::started, &m_process, [this] { feed(); });
        QObject::connect(&m_process, &QProcess::bytesWritten, &m_process, [this] { feed(); });
        QObject::connect(&m_process, &QProcess::finished, &m_process,
            [this](int code, QProcess::ExitStatus status) { finished(code, status); });
        QObject::connect(
            &m_process, &QProcess::errorOccurred, &m_process, [this](QProcess::ProcessError error) {
                // The others end in finished().
                if (error == QProcess::FailedToStart)
                    QTimer::singleShot(0, &m_process, [this] {
                        fail(QStringLiteral("%1 could not be started: %2")
                                 .arg(Helper, m_process.errorString()));
                    });
            });
        m_process.start(program, arguments);
    }

    void cancel() override
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_canceled = true;
        m_process.kill();
    }

private:
    void feed()
    {
        const qint64 size = m_picture.sizeInBytes();
        while (m_written < size && m_process.bytesToWrite() < Chunk) {
            const qint64 piece = std::min(Chunk, size - m_written);
            m_process.write(reinterpret_cast<const char*>(m_picture.constBits()) + m_written, piece);
            m_written += piece;
        }
        if (m_written == size && !m_sent) {
            m_sent = true;
            m_picture = QImage();
            m_process.closeWriteChannel();
        }
    }

    void finished(int code, QProcess::ExitStatus status)
    {
        OcrOutcome outcome;
        if (m_canceled) {
            outcome.status = OcrOutcome::Status::Canceled;
        } else if (status == QProcess::NormalExit && code == 0) {
            outcome = parse(m_process.readAllStandardOutput());
        } else {
            const QStringList messages = QString::fromLocal8Bit(m_process.readAllStandardError())
                                             .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            fail(status == QProcess::NormalExit && !messages.isEmpty()
                    ? messages.last()
                    : QStringLiteral("%1 stopped unexpectedly").arg(Helper));
            return;
        }
        m_done(outcome);
    }

    void fail(const QString& reason)
    {
        qCWarning(lcOcr) << "recognition failed:" << reason;
        OcrOutcome outcome;
        outcome.status = OcrOutcome::Status::Failed;
        outcome.error = reason;
        m_done(outcome);
    }

    static OcrOutcome parse(const QByteArray& output)
    {
        OcrOutcome outcome;
        outcome.status = OcrOutcome::Status::Completed;
        QStringList texts;
        for (const QByteArray& record : output.split('\n')) {
            const QList<QByteArray> fields = record.split('\t');
            if (fields.size() == 2 && fields[0] == "L") {
                outcome.lines.append(OcrLine { QString::fromUtf8(fields[1]), {} });
                texts.append(outcome.lines.last().text);
            } else if (fields.size() == 6 && fields[0] == "W" && !outcome.lines.isEmpty()) {
                const QRectF rect(
                    fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble(), fields[4].toDouble());
                outcome.lines.last().words.append(OcrWord { QString::fromUtf8(fields[5]), rect });
            }
        }
        outcome.text = texts.join(QLatin1Char('\n'));
        return outcome;
    }

    QProcess m_process;
    QImage m_picture;
    qint64 m_written = 0;
    bool m_sent = false;
    bool m_canceled = false;
    std::function<void(const OcrOutcome&)> m_done;
};

} // namespace

QString TesseractOcr::dataFolder()
{
    const QString chosen = qEnvironmentVariable("TESSDATA_PREFIX");
    return chosen.isEmpty() ? QStringLiteral(LUMETRA_TESSDATA) : chosen;
}

QList<OcrLanguage> TesseractOcr::languages()
{
    QList<OcrLanguage> found;
    const QStringList files
        = QDir(dataFolder())
              .entryList({ QStringLiteral("*.traineddata") }, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        const QString pack = QFileInfo(file).completeBaseName();
        if (!NotLanguages.contains(pack))
            found.append(DescribePack(pack));
    }
    return OrderLanguages(found, QLocale::system());
}

std::unique_ptr<OcrJob> TesseractOcr::recognize(
    const QImage& picture, const QString& pack, std::function<void(const OcrOutcome&)> done, QString* error)
{
    const QString program = ModuleFile(Helper, error);
    if (program.isEmpty())
        return nullptr;
    QImage pixels = picture;
    if (pixels.format() != QImage::Format_RGB32 && pixels.format() != QImage::Format_ARGB32)
        pixels = pixels.convertToFormat(QImage::Format_RGB32);
    auto job = std::make_unique<TesseractJob>(pixels, std::move(done));
    job->start(
        program, { dataFolder(), pack, QString::number(pixels.width()), QString::number(pixels.height()) });
    return job;
}

OcrLanguage DescribePack(const QString& pack)
{
    const QStringList parts = pack.split(QLatin1Char('_'));
    const QLocale::Language language = QLocale::codeToLanguage(parts.first());
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return OcrLanguage { pack, QString(pack).replace(QLatin1Char('_'), QLatin1Char('-')), {}, {}, pack };

    QLocale::Script script = QLocale::AnyScript;
    QStringList variants;
    for (const QString& suffix : parts.mid(1)) {
        // The engine's names for the two written forms of Chinese; other scripts go by their ISO 15924 code.
        if (suffix == QLatin1String("sim"))
            script = QLocale::SimplifiedHanScript;
        else if (suffix == QLatin1String("tra"))
            script = QLocale::TraditionalHanScript;
        else if (const QLocale::Script named = QLocale::codeToScript(suffix); named != QLocale::AnyScript)
            script = named;
        else
            variants.append(suffix);
    }
    // Without a script the world-wide form of the language where it has one: "English", not "American
    // English".
    QLocale locale(language, script, QLocale::World);
    if (locale.language() != language)
        locale = QLocale(language, script, QLocale::AnyTerritory);

    OcrLanguage described;
    described.pack = pack;
    described.displayName = QLocale::languageToString(language);
    described.languageTag = QLocale::languageToCode(language);
    if (script != QLocale::AnyScript) {
        described.displayName += QStringLiteral(" (%1)").arg(QLocale::scriptToString(script));
        described.languageTag += QLatin1Char('-') + QLocale::scriptToCode(script);
    }
    if (!variants.isEmpty()) {
        described.displayName += QStringLiteral(" (%1)").arg(variants.join(QStringLiteral(", ")));
        described.languageTag += QStringLiteral("-x-") + variants.join(QLatin1Char('-'));
    }
    described.nativeName = locale.nativeLanguageName();
    described.script = QLocale::scriptToCode(script != QLocale::AnyScript ? script : locale.script());
    return described;
}

QList<OcrLanguage> OrderLanguages(QList<OcrLanguage> languages, const QLocale& system)
{
    const QLocale::Language own = languageOf(system);
    const QString ownScript = QLocale::scriptToCode(system.script());
    auto rank = [&](const OcrLanguage& language) {
        const QLocale locale(language.languageTag.section(QStringLiteral("-x-"), 0, 0));
        if (languageOf(locale) != own || language.pack.isEmpty() || language.nativeName.isEmpty())
            return 2;
        return language.script == ownScript ? 0 : 1;
    };
    std::stable_sort(languages.begin(), languages.end(), [&](const OcrLanguage& a, const OcrLanguage& b) {
        const int ra = rank(a), rb = rank(b);
        return ra != rb ? ra < rb : a.pack < b.pack;
    });
    return languages;
}
