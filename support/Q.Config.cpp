#include "Q.Config.h"

#include <QSettings>

#include <optional>

TConfig::TConfig(const QString& path)
{
    const QString organization = path.section(QLatin1Char('\\'), 0, 0);
    const QString application = path.section(QLatin1Char('\\'), 1);
    FReg = std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, organization, application);
}

// The store is written when the instance goes; a failure to write is lost quietly.
TConfig::~TConfig() = default;

namespace {

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
    FReg->setValue(name, value);
    return value;
}

bool TConfig::WriteBoolean(const QString& name, bool value)
{
    FReg->setValue(name, value ? 1 : 0);
    return value;
}

QString TConfig::WriteString(const QString& name, const QString& value)
{
    FReg->setValue(name, value);
    return value;
}
