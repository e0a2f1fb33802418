#pragma once

#include <QString>
#include <memory>

class QSettings;

// The settings store of the current user. One short-lived instance per read pass or per write; reads
// give the default for a missing value or one of the wrong type, writes swallow their errors.
class SettingsStore
{
public:
    // `path` is the store below the user's configuration folder, as "Maker\Product".
    explicit SettingsStore(const QString& path = QStringLiteral("Brenholt\\Lumetra"));
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    int readInteger(const QString& name, int defaultValue);
    bool readBoolean(const QString& name, bool defaultValue);
    QString readString(const QString& name, const QString& defaultValue);
    int writeInteger(const QString& name, int value);
    bool writeBoolean(const QString& name, bool value);
    QString writeString(const QString& name, const QString& value);

private:
    std::unique_ptr<QSettings> m_settings;
    bool m_written = false;
};
