#include "SettingsStore.h"

#include <QLoggingCategory>
#include <QSettings>

#include <optional>

SettingsStore::SettingsStore(const QString& path)
{
    const QString organization = path.section(QLatin1Char('\\'), 0, 0);
    const QString application = path.section(QLatin1Char('\\'), 1);
    m_settings = std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, organization, application);
}

namespace {

Q_LOGGING_CATEGORY(lcSettings, "lumetra.settings", QtWarningMsg)

// An integer value, also when the store keeps it as text; empty for anything else.
std::optional<int> integerOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::Int)
        return value.toInt();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const int number = value.toString().toInt(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

} // namespace

// The store is written when the instance goes. A failed write never reaches the user; it shows only in the
// debug log (QT_LOGGING_RULES="lumetra.settings.debug=true").
SettingsStore::~SettingsStore()
{
    if (!m_written)
        return;
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qCDebug(lcSettings) << "settings not written to" << m_settings->fileName() << m_settings->status();
}

int SettingsStore::readInteger(const QString& name, int defaultValue)
{
    return integerOf(m_settings->value(name)).value_or(defaultValue);
}

bool SettingsStore::readBoolean(const QString& name, bool defaultValue)
{
    // Stored as an integer, 0 or 1; any non-zero number reads as true.
    const auto value = integerOf(m_settings->value(name));
    return value ? *value != 0 : defaultValue;
}

QString SettingsStore::readString(const QString& name, const QString& defaultValue)
{
    const QVariant value = m_settings->value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : defaultValue;
}

int SettingsStore::writeInteger(const QString& name, int value)
{
    m_written = true;
    m_settings->setValue(name, value);
    return value;
}

bool SettingsStore::writeBoolean(const QString& name, bool value)
{
    m_written = true;
    m_settings->setValue(name, value ? 1 : 0);
    return value;
}

QString SettingsStore::writeString(const QString& name, const QString& value)
{
    m_written = true;
    m_settings->setValue(name, value);
    return value;
}
