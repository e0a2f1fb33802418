#include "Q.Config.h"

#include <QLoggingCategory>
#include <QSettings>

#include <optional>

TConfig::TConfig(const QString& path)
{
    const QString organization = path.section(QLatin1Char('\\'), 0, 0);
    const QString application = path.section(QLatin1Char('\\'), 1);
    FReg = std::make_unique<QSettings>(
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
TConfig::~TConfig()
{
    if (!FWritten)
        return;
    FReg->sync();
    if (FReg->status() != QSettings::NoError)
        qCDebug(lcSettings) << "settings not written to" << FReg->fileName() << FReg->status();
}

int TConfig::ReadInteger(const QString& name, int defaultValue)
{
    return integerOf(FReg->value(name)).value_or(defaultValue);
}

bool TConfig::ReadBoolean(const QString& name, bool defaultValue)
{
    // Stored as an integer, 0 or 1; any non-zero number reads as true.
    const auto value = integerOf(FReg->value(name));
    return value ? *value != 0 : defaultValue;
}

QString TConfig::ReadString(const QString& name, const QString& defaultValue)
{
    const QVariant value = FReg->value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : defaultValue;
}

int TConfig::WriteInteger(const QString& name, int value)
{
    FWritten = true;
    FReg->setValue(name, value);
    return value;
}

bool TConfig::WriteBoolean(const QString& name, bool value)
{
    FWritten = true;
    FReg->setValue(name, value ? 1 : 0);
    return value;
}

QString TConfig::WriteString(const QString& name, const QString& value)
{
    FWritten = true;
    FReg->setValue(name, value);
    return value;
}
