#pragma once

#include <QString>
#include <memory>

class QSettings;

// The settings store of the current user. One short-lived instance per read pass or per write; reads
// give the default for a missing value or one of the wrong type, writes swallow their errors.
class TConfig
{
public:
    // `path` is the store below the user's configuration folder, as "Maker\Product".
    explicit TConfig(const QString& path = QStringLiteral("Brenholt\\Lumetra"));
    virtual ~TConfig();
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;

    int ReadInteger(const QString& name, int defaultValue);
    bool ReadBoolean(const QString& name, bool defaultValue);
    QString ReadString(const QString& name, const QString& defaultValue);
    int WriteInteger(const QString& name, int value);
    bool WriteBoolean(const QString& name, bool value);
    QString WriteString(const QString& name, const QString& value);

private:
    std::unique_ptr<QSettings> FReg;
    bool FWritten = false;
};
