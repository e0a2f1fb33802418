#include "Settings.h"

#include "capture/CaptureSource.h"
#include "support/Q.Translate.h"
#include "support/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

template <typename T> struct Key
{
    const char* name;
    T fallback;
    QString key() const { return QLatin1String(name); }
};

constexpr Key<bool> RecordAudio { "audio", false };
constexpr Key<bool> ShowPointer { "mouse", true };
constexpr Key<bool> EncoderLog { "ffmpeg_log", false };
constexpr Key<int> Source { "area", 0 };
constexpr Key<int> Target { "saveto", 0 };
constexpr Key<int> JpegQuality { "jpeg_quality", 1 };
constexpr Key<int> WebpQuality { "webp_quality", 1 };
constexpr Key<int> RecognitionLanguage { "language_ocr", 0 };
constexpr Key<int> Naming { "append", 1 };
constexpr Key<int> Sound { "sound", 2 };
constexpr Key<int> RecordLimit { "record_limit", 0 };
// Their defaults depend on the system.
constexpr const char* LanguageKey = "language";
constexpr const char* SaveFolderKey = "path";

int read(SettingsStore& config, const Key<int>& key)
{
    return config.readInteger(key.key(), key.fallback);
}

bool read(SettingsStore& config, const Key<bool>& key)
{
    return config.readBoolean(key.key(), key.fallback);
}

void store(const Key<int>& key, int value)
{
    SettingsStore().writeInteger(key.key(), value);
}

void store(const Key<bool>& key, bool value)
{
    SettingsStore().writeBoolean(key.key(), value);
}

// Where captures go until the user picks a folder: the desktop, or the home folder on systems without one.
QString desktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

} // namespace

void Settings::load()
{
    SettingsStore config;
    // A stored code in another letter case or outside the seven runs as English, unchanged in the store.
    m_language = config.readString(QLatin1String(LanguageKey), DefaultLanguage());
    if (!SupportedLanguages.contains(m_language))
        m_language = QStringLiteral("en");
    m_saveFolder = config.readString(QLatin1String(SaveFolderKey), desktopFolder());
    m_recordAudio = read(config, RecordAudio);
    m_showPointer = read(config, ShowPointer);
    m_encoderLog = read(config, EncoderLog);
    m_source = read(config, Source);
    m_target = read(config, Target);
    m_jpegQuality = read(config, JpegQuality);
    m_webpQuality = read(config, WebpQuality);
    m_recognitionLanguage = read(config, RecognitionLanguage);
    m_naming = read(config, Naming);
    m_sound = read(config, Sound);
    m_recordLimit = read(config, RecordLimit);
}

void Settings::setLanguage(const QString& code)
{
    m_language = code;
    SettingsStore().writeString(QLatin1String(LanguageKey), code);
}

void Settings::setSaveFolder(const QString& folder)
{
    m_saveFolder = folder;
    SettingsStore().writeString(QLatin1String(SaveFolderKey), folder);
}

void Settings::setRecordAudio(bool on)
{
    store(RecordAudio, m_recordAudio = on);
}

void Settings::setShowPointer(bool on)
{
    store(ShowPointer, m_showPointer = on);
}

void Settings::setEncoderLog(bool on)
{
    store(EncoderLog, m_encoderLog = on);
}

void Settings::setSource(int index)
{
    // A window under the pointer, a web page or the colour picker would open unasked at the next start.
    m_source = index >= csFullScreen && index <= csActiveWindow ? index : csFullScreen;
    store(Source, m_source);
}

void Settings::setTarget(int index)
{
    store(Target, m_target = index);
}

void Settings::setJpegQuality(int index)
{
    store(JpegQuality, m_jpegQuality = index);
}

void Settings::setWebpQuality(int index)
{
    store(WebpQuality, m_webpQuality = index);
}

void Settings::setRecognitionLanguage(int index)
{
    store(RecognitionLanguage, m_recognitionLanguage = index);
}

void Settings::setNaming(int value)
{
    store(Naming, m_naming = value);
}

void Settings::setSound(int value)
{
    store(Sound, m_sound = value);
}

void Settings::setRecordLimit(int minutes)
{
    store(RecordLimit, m_recordLimit = minutes);
}
