#include "OptionsCard.h"

#include "support/Dpi.h"
#include "targets/Targets.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

const QStringList TargetCaptions = {
    QStringLiteral("PNG"),
    QStringLiteral("JPG"),
    QStringLiteral("GIF"),
    QStringLiteral("BMP"),
    QStringLiteral("WebP"),
    QStringLiteral("MP4(동영상)"),
    QStringLiteral("TXT"),
    QStringLiteral("클립보드"),
    QStringLiteral("이미지창고"),
    QStringLiteral("프린터"),
    QStringLiteral("플러팅"),
};

const QStringList QualityCaptions = { QStringLiteral("100"), QStringLiteral("90"), QStringLiteral("80"),
    QStringLiteral("70"), QStringLiteral("60") };

int qualityOf(const QComboBox* list)
{
    return list->currentIndex() < 0 ? 90 : list->currentText().toInt();
}

} // namespace

void selectEntry(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// The object names are those the translation table and earlier versions knew the components by.
OptionsCard::OptionsCard(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Card1"));
    auto label = new QLabel(QStringLiteral("저장형식"), this);
    label->setObjectName(QStringLiteral("LblSaveTo"));
    label->adjustSize();
    label->resize(scaled(parent, 145), label->height());
    m_targets = addList(QStringLiteral("ChkSaveTo"), TargetCaptions, 0, 145);
    m_jpegQuality = addList(QStringLiteral("ChkJPEG_qual"), QualityCaptions, 88, 57);
    m_webpQuality = addList(QStringLiteral("ChkWebP_qual"), QualityCaptions, 88, 57);
    m_recognitionLanguages = addList(QStringLiteral("ChkOCR_lang"), {}, 78, 67);
    for (QComboBox* beside : { m_jpegQuality, m_webpQuality, m_recognitionLanguages })
        beside->hide();
    auto openFolder = new QPushButton(QStringLiteral("폴더열기"), this);
    openFolder->setObjectName(QStringLiteral("BtnOpenDir"));
    openFolder->setGeometry(0, scaled(parent, 63), scaled(parent, 145), scaled(parent, 33));

    connect(m_targets, &QComboBox::activated, this, &OptionsCard::targetActivated);
    connect(m_jpegQuality, &QComboBox::activated, this, &OptionsCard::jpegQualityActivated);
    connect(m_webpQuality, &QComboBox::activated, this, &OptionsCard::webpQualityActivated);
    connect(m_recognitionLanguages, &QComboBox::activated, this, &OptionsCard::recognitionLanguageActivated);
    connect(openFolder, &QPushButton::clicked, this, &OptionsCard::openFolderClicked);
}

QComboBox* OptionsCard::addList(const QString& name, const QStringList& items, int left, int width)
{
    auto list = new QComboBox(this);
    list->setObjectName(name);
    list->addItems(items);
    const QWidget* window = parentWidget();
    list->setGeometry(scaled(window, left), scaled(window, 21), scaled(window, width), scaled(window, 22));
    return list;
}

int OptionsCard::target() const
{
    return m_targets->currentIndex();
}

int OptionsCard::jpegQuality() const
{
    return qualityOf(m_jpegQuality);
}

int OptionsCard::webpQuality() const
{
    return qualityOf(m_webpQuality);
}

int OptionsCard::recognitionLanguage() const
{
    return m_recognitionLanguages->currentIndex();
}

void OptionsCard::setTarget(int index)
{
    selectEntry(m_targets, index);
}

void OptionsCard::setJpegQuality(int index)
{
    selectEntry(m_jpegQuality, index);
}

void OptionsCard::setWebpQuality(int index)
{
    selectEntry(m_webpQuality, index);
}

void OptionsCard::setRecognitionLanguages(const QStringList& names, int index)
{
    m_recognitionLanguages->clear();
    m_recognitionLanguages->addItems(names);
    selectEntry(m_recognitionLanguages, index);
}

void OptionsCard::arrangeFor(int target)
{
    int width = 145;
    QComboBox* beside = nullptr;
    if (target == stJPG || target == stWebP) {
        width = 82;
        beside = target == stJPG ? m_jpegQuality : m_webpQuality;
    } else if (target == stTXT) {
        width = 72;
        beside = m_recognitionLanguages;
    }
    m_targets->resize(scaled(parentWidget(), width), m_targets->height());
    for (QComboBox* list : { m_jpegQuality, m_webpQuality, m_recognitionLanguages })
        list->setVisible(list == beside);
}
