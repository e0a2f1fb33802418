#pragma once

#include <QWidget>

class QComboBox;

// The main window's first page: the target list with the chosen target's own options beside it (the JPEG
// or WebP quality, the recognition language) and the button that opens the save folder.
class OptionsCard final : public QWidget
{
    Q_OBJECT

public:
    explicit OptionsCard(QWidget* parent);

    int target() const;
    // The chosen qualities; 90 when a list has no selection.
    int jpegQuality() const;
    int webpQuality() const;
    // -1 for none.
    int recognitionLanguage() const;
    // An index outside its list selects nothing.
    void setTarget(int index);
    void setJpegQuality(int index);
    void setWebpQuality(int index);
    void setRecognitionLanguages(const QStringList& names, int index);
    // Narrows the target list for the target's own option list beside it.
    void arrangeFor(int target);

signals:
    void targetActivated(int index);
    void jpegQualityActivated(int index);
    void webpQualityActivated(int index);
    void recognitionLanguageActivated(int index);
    void openFolderClicked();

private:
    QComboBox* addList(const QString& name, const QStringList& items, int left, int width);

    QComboBox* m_targets = nullptr;
    QComboBox* m_jpegQuality = nullptr;
    QComboBox* m_webpQuality = nullptr;
    QComboBox* m_recognitionLanguages = nullptr;
};

// Selects the entry at `index`, or none when the index lies outside the list.
void selectEntry(QComboBox* list, int index);
