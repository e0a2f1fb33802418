#include "PrintDesk.h"
#include "XDesk.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

const QString PdfDriver = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
const QString PdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString PdfConfig = QStringLiteral("/etc/cups/cups-pdf.conf");

// Administration tools live in sbin, which not every PATH lists.
QString adminTool(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty()
        ? QStandardPaths::findExecutable(name, { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin") })
        : found;
}

bool writeFile(const QString& name, const QString& text)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

PrintDesk::~PrintDesk()
{
    if (m_scheduler && m_scheduler->state() != QProcess::NotRunning) {
        m_scheduler->terminate();
        if (!m_scheduler->waitForFinished(5000)) {
            m_scheduler->kill();
            m_scheduler->waitForFinished(3000);
        }
    }
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

std::unique_ptr<PrintDesk> PrintDesk::start(QString* error)
{
    const QString cupsd = adminTool(QStringLiteral("cupsd"));
    if (cupsd.isEmpty() || adminTool(QStringLiteral("lpadmin")).isEmpty()) {
        if (error)
            *error = QStringLiteral(
                "cupsd or lpadmin is missing: install the Debian packages cups and cups-client");
        return nullptr;
    }
    if (!haveTool(QStringLiteral("lpstat"), QStringLiteral("cups-client"), error)
        || !haveTool(QStringLiteral("unshare"), QStringLiteral("util-linux"), error))
        return nullptr;
    if (!QFile::exists(PdfBackend) || !QFile::exists(PdfDriver) || !QFile::exists(PdfConfig)) {
        if (error)
            *error = QStringLiteral(
                "the cups-pdf printer is missing: install the Debian package printer-driver-cups-pdf");
        return nullptr;
    }

    std::unique_ptr<PrintDesk> desk(new PrintDesk);
    // A short path: the socket's name must fit into 107 bytes.
    QTemporaryDir folder(QStringLiteral("/tmp/lmtcups-XXXXXX"));
    folder.setAutoRemove(false);
    desk->m_folder = folder.path();
    const QString f = desk->m_folder;
    for (const char* sub : { "etc", "spool/tmp", "cache", "state", "log", "pdf", "pdf-spool" })
        QDir().mkpath(f + QLatin1Char('/') + QLatin1String(sub));
    // The scheduler hands work to filters running as its own unprivileged user.
    QFile::setPermissions(f,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);

    const bool written = writeFile(f + QStringLiteral("/etc/cupsd.conf"),
                             QStringLiteral("Listen %1/cups.sock\n"
                                            "LogLevel warn\n"
                                            "Browsing No\n"
                                            "WebInterface No\n"
                                            "DefaultAuthType None\n"
                                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                            "  </Limit>\n</Policy>\n")
                                 .arg(f))
        && writeFile(f + QStringLiteral("/etc/cups-files.conf"),
            QStringLiteral(
                "ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                "PageLog %1/log/page_log\n")
                .arg(f))
        && writeFile(f + QStringLiteral("/cups-pdf.conf"),
            QStringLiteral("Out %1/pdf\nAnonDirName %1/pdf\nSpool %1/pdf-spool\nLog %1/log\nGrp root\n")
                .arg(f));
    if (!written) {
        if (error)
            *error = QStringLiteral("cannot write the print system's set-up into %1").arg(f);
        return nullptr;
    }

    desk->m_scheduler = std::make_unique<QProcess>();
    desk->m_scheduler->setStandardOutputFile(f + QStringLiteral("/log/cupsd.out"));
    desk->m_scheduler->setStandardErrorFile(f + QStringLiteral("/log/cupsd.out"));
    // The backend reads its set-up from a fixed path; only this namespace sees the private one there.
    desk->m_scheduler->start(QStringLiteral("unshare"),
        { QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
            QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("mount --bind \"$0/cups-pdf.conf\" %1 && exec \"$1\" -f -c \"$0/etc/cupsd.conf\" "
                           "-s \"$0/etc/cups-files.conf\"")
                .arg(PdfConfig),
            f, cupsd });
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (desk->m_scheduler->state() == QProcess::NotRunning)
            break;
        QProcess lpstat;
        lpstat.start(QStringLiteral("lpstat"),
            { QStringLiteral("-h"), f + QStringLiteral("/cups.sock"), QStringLiteral("-r") });
        if (lpstat.waitForFinished(5000) && lpstat.readAllStandardOutput().contains("is running"))
            return desk;
        QThread::msleep(100);
    }
    if (error)
        *error = QStringLiteral("the private CUPS scheduler did not start (it needs root for its mount "
                                "namespace); see %1/log")
                     .arg(f);
    desk->m_folder.clear(); // keep the logs
    return nullptr;
}

bool PrintDesk::lpadmin(const QStringList& arguments, QString* error) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(adminTool(QStringLiteral("lpadmin")),
        QStringList { QStringLiteral("-h"), m_folder + QStringLiteral("/cups.sock") } + arguments);
    if (process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("lpadmin %1 failed: %2")
                     .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()));
    return false;
}

bool PrintDesk::addPdfPrinter(const QString& name, QString* error)
{
    return lpadmin({ QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                       QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), PdfDriver },
               error)
        && lpadmin({ QStringLiteral("-d"), name }, error);
}

QProcessEnvironment PrintDesk::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("CUPS_SERVER"), m_folder + QStringLiteral("/cups.sock"));
    base.remove(QStringLiteral("PRINTER"));
    base.remove(QStringLiteral("LPDEST"));
    return base;
}

void PrintDesk::apply() const
{
    qputenv("CUPS_SERVER", (m_folder + QStringLiteral("/cups.sock")).toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
}

QStringList PrintDesk::pdfFiles() const
{
    QStringList files;
    QDirIterator it(m_folder + QStringLiteral("/pdf"), { QStringLiteral("*.pdf") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        // A file still being written has no end marker yet.
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.size() > 16) {
            file.seek(file.size() - 16);
            if (file.read(16).contains("%%EOF"))
                files.append(file.fileName());
        }
    }
    files.sort();
    return files;
}
