#include "EngineModules.h"

#include "platform/Module.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcModules, "lumetra.x11.modules", QtWarningMsg)

ModuleSoundPlayer::ModuleSoundPlayer() = default;
ModuleSoundPlayer::~ModuleSoundPlayer() = default;

void ModuleSoundPlayer::play(const QByteArray& wave)
{
    if (!m_tried) {
        m_tried = true;
        QString error;
        m_player = LoadEngine<SoundPlayer>(QStringLiteral("sound"), "lumetraCreateSoundPlayer", &error);
        if (!m_player)
            qCDebug(lcModules) << "no sound:" << error;
    }
    if (m_player)
        m_player->play(wave);
}

ModulePrinter::ModulePrinter() = default;
ModulePrinter::~ModulePrinter() = default;

bool ModulePrinter::begin(const QString& documentName, QString* error)
{
    if (!m_printer) {
        QString reason;
        m_printer = LoadEngine<Printer>(QStringLiteral("print"), "lumetraCreatePrinter", &reason);
        if (!m_printer) {
            if (error)
                *error = QStringLiteral("Printing is not available: %1").arg(reason);
            return false;
        }
    }
    return m_printer->begin(documentName, error);
}

QSize ModulePrinter::resolution() const
{
    return m_printer ? m_printer->resolution() : QSize();
}

bool ModulePrinter::draw(const QImage& image, const QRect& target)
{
    return m_printer && m_printer->draw(image, target);
}

bool ModulePrinter::end(QString* error)
{
    return m_printer && m_printer->end(error);
}
