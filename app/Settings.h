#pragma once

#include <QString>

// The user's choices, each read once at start and stored the moment it changes. Every key, its type and
// its default are written once, in Settings.cpp; the file and key names are those earlier versions wrote.
class Settings
{
public:
    // Reads every value; a missing value or one of the wrong type gives the default.
    void load();

    QString language() const { return m_language; }
    QString saveFolder() const { return m_saveFolder; }
    bool recordAudio() const { return m_recordAudio; }
    bool showPointer() const { return m_showPointer; }
    bool encoderLog() const { return m_encoderLog; }
    // List indexes as stored; an index outside its list selects nothing.
    int source() const { return m_source; }
    int target() const { return m_target; }
    int jpegQuality() const { return m_jpegQuality; }
    int webpQuality() const { return m_webpQuality; }
    int recognitionLanguage() const { return m_recognitionLanguage; }
    // The values of the menu groups as stored; a value that names no item of its group checks none.
    int naming() const { return m_naming; }
    int sound() const { return m_sound; }
    int recordLimit() const { return m_recordLimit; }

    void setLanguage(const QString& code);
    void setSaveFolder(const QString& folder);
    void setRecordAudio(bool on);
    void setShowPointer(bool on);
    void setEncoderLog(bool on);
    // Only the sources a restart can reopen are kept; the others are stored as full screen.
    void setSource(int index);
    void setTarget(int index);
    void setJpegQuality(int index);
    void setWebpQuality(int index);
    void setRecognitionLanguage(int index);
    void setNaming(int value);
    void setSound(int value);
    void setRecordLimit(int minutes);

private:
    QString m_language;
    QString m_saveFolder;
    bool m_recordAudio = false;
    bool m_showPointer = true;
    bool m_encoderLog = false;
    int m_source = 0;
    int m_target = 0;
    int m_jpegQuality = 1;
    int m_webpQuality = 1;
    int m_recognitionLanguage = 0;
    int m_naming = 1;
    int m_sound = 2;
    int m_recordLimit = 0;
};
