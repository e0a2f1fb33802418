#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

// A private print system for one test: its own CUPS scheduler on a socket in a temporary folder, with a
// cups-pdf printer that writes its PDF files there. The scheduler runs in a mount namespace of its own, in
// which a private cups-pdf.conf covers the system's, so neither the machine's print setup nor anyone's
// home is touched. Everything stops and is removed when the object goes.
class PrintDesk
{
public:
    ~PrintDesk();

    // Null with `error` filled in when a tool is missing (the message names the Debian package) or the
    // scheduler does not come up.
    static std::unique_ptr<PrintDesk> start(QString* error);

    // Adds the cups-pdf printer and makes it the default; false with `error` filled in on failure.
    bool addPdfPrinter(const QString& name, QString* error);
    // For clients: CUPS_SERVER pointing here, and no printer chosen by the environment.
    QProcessEnvironment environment(
        QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;
    void apply() const;
    // The PDF files the printer has finished so far.
    QStringList pdfFiles() const;
    QString folder() const { return m_folder; }

private:
    PrintDesk() = default;
    bool lpadmin(const QStringList& arguments, QString* error) const;

    QString m_folder;
    std::unique_ptr<QProcess> m_scheduler;
};
