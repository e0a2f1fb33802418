#include "Q.Translate.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStringDecoder>

namespace {

// Read-only once loaded; only the user-interface thread translates.
QStringList& table()
{
    static QStringList lines;
    return lines;
}

QString& currentLanguage()
{
    static QString language = QStringLiteral("en");
    return language;
}

QString unescapeLineBreaks(const QString& text)
{
    QString result = text;
    result.replace(QLatin1String("\\n"), QLatin1String("\r"));
    return result;
}

// Equal when only the case of the ASCII letters differs; every other character must match exactly.
bool sameText(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y)
            continue;
        if (x >= u'A' && x <= u'Z')
            x += u'a' - u'A';
        if (y >= u'A' && y <= u'Z')
            y += u'a' - u'A';
        if (x != y)
            return false;
    }
    return true;
}

// The code before the first "=" and the text after it; a line without "=" has neither.
QStringView codeOf(const QString& line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? QStringView() : QStringView(line).left(equals);
}

QStringView textOf(const QString& line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? QStringView() : QStringView(line).mid(equals + 1);
}

bool isFormTitle(const QObject* component)
{
    const auto widget = qobject_cast<const QWidget*>(component);
    return widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget);
}

// Components that turn "&x" into an underlined x.
bool showsMnemonics(const QObject* component)
{
    if (const auto label = qobject_cast<const QLabel*>(component))
        return label->buddy() != nullptr;
    return qobject_cast<const QAction*>(component) || qobject_cast<const QMenu*>(component)
        || qobject_cast<const QAbstractButton*>(component) || qobject_cast<const QGroupBox*>(component);
}

bool hasCaption(const QObject* component)
{
    if (const auto action = qobject_cast<const QAction*>(component))
        return !action->isSeparator();
    return qobject_cast<const QMenu*>(component) || qobject_cast<const QLabel*>(component)
        || qobject_cast<const QAbstractButton*>(component) || qobject_cast<const QGroupBox*>(component)
        || isFormTitle(component);
}

QString rawCaption(const QObject* component)
{
    if (const auto action = qobject_cast<const QAction*>(component))
        return action->text();
    if (const auto menu = qobject_cast<const QMenu*>(component))
        return menu->title();
    if (const auto label = qobject_cast<const QLabel*>(component))
        return label->text();
    if (const auto button = qobject_cast<const QAbstractButton*>(component))
        return button->text();
    if (const auto group = qobject_cast<const QGroupBox*>(component))
        return group->title();
    if (isFormTitle(component))
        return static_cast<const QWidget*>(component)->windowTitle();
    return {};
}

void setRawCaption(QObject* component, const QString& text)
{
    if (const auto action = qobject_cast<QAction*>(component))
        action->setText(text);
    else if (const auto menu = qobject_cast<QMenu*>(component))
        menu->setTitle(text);
    else if (const auto label = qobject_cast<QLabel*>(component))
        label->setText(text);
    else if (const auto button = qobject_cast<QAbstractButton*>(component))
        button->setText(text);
    else if (const auto group = qobject_cast<QGroupBox*>(component))
        group->setTitle(text);
    else if (isFormTitle(component))
        static_cast<QWidget*>(component)->setWindowTitle(text);
}

void translateComboBox(QComboBox* list)
{
    const int selected = list->currentIndex();
    list->setUpdatesEnabled(false);
    QStringList entries;
    entries.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    TranslateStrings(entries);
    for (int i = 0; i < list->count(); ++i)
        list->setItemText(i, entries.at(i));
    list->setUpdatesEnabled(true);
    list->setCurrentIndex(selected);
}

// The language of a locale name such as "ko_KR.UTF-8"; empty for "C", "POSIX" and unknown names.
QString languageOfLocale(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX")
        || name.startsWith(QLatin1String("C.")))
        return {};
    const QLocale::Language language = QLocale(name).language();
    if (language == QLocale::C || language == QLocale::AnyLanguage)
        return {};
    return QLocale::languageToCode(language);
}

} // namespace

void InitTranslate(const QString& path)
{
    QFile file(path);
    LoadTranslateTable(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    currentLanguage() = DefaultLanguage();
}

void LoadTranslateTable(const QByteArray& data)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // Invalid sequences (a table cut off inside a character) become U+FFFD instead of ending the read.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);

    QStringList& lines = table();
    lines.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    // A last line end adds no empty entry; a last line without one still counts.
    if (start < text.size())
        lines.append(text.mid(start));
}

QStringList TranslateTableLines()
{
    return table();
}

QString TranslateText(const QString& source, const QString& language)
{
    const QString result = unescapeLineBreaks(source);
    if (source.isEmpty())
        return result;
    const QString wanted = language.isEmpty() ? currentLanguage() : language;
    const QStringList& lines = table();

    qsizetype match = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (sameText(textOf(lines.at(i)), source)) {
            match = i;
            break;
        }
    }
    if (match < 0)
        return result;
    qsizetype first = match;
    while (first > 0 && !lines.at(first - 1).isEmpty())
        --first;

    for (const QString& code : { wanted, QStringLiteral("en") }) {
        for (qsizetype i = first; i < lines.size() && !lines.at(i).isEmpty(); ++i) {
            if (codeOf(lines.at(i)) == code)
                return unescapeLineBreaks(textOf(lines.at(i)).toString());
        }
    }
    return result;
}

void TranslateComponent(QObject* root, const QString& language)
{
    if (!language.isEmpty())
        currentLanguage() = language;
    if (!root)
        return;
    if (const auto list = qobject_cast<QComboBox*>(root)) {
        // The list's own parts (its view, its popup) hold nothing to translate.
        translateComboBox(list);
        return;
    }
    if (const auto menu = qobject_cast<QMenu*>(root))
        TranslateMenuItem(menu->menuAction());
    if (hasCaption(root)) {
        const QString caption = Caption(root);
        const bool englishTitle = isFormTitle(root) && currentLanguage() != QLatin1String("ko");
        SetCaption(
            root, englishTitle ? TranslateText(caption, QStringLiteral("en")) : TranslateText(caption));
    }
    const QObjectList owned = root->children();
    for (QObject* child : owned)
        TranslateComponent(child);
}

void TranslateMenuItem(QAction* item)
{
    if (!item)
        return;
    if (!item->isSeparator())
        SetCaption(item, TranslateText(Caption(item)));
    if (const QMenu* submenu = item->menu()) {
        const QList<QAction*> items = submenu->actions();
        for (QAction* sub : items)
            TranslateMenuItem(sub);
    }
}

void TranslateStrings(QStringList& strings)
{
    for (QString& entry : strings)
        entry = TranslateText(entry);
}

QString CurrentLanguage()
{
    return currentLanguage();
}

QString GetUserLanguage()
{
    QString locale = qEnvironmentVariable("LC_ALL");
    if (locale.isEmpty())
        locale = qEnvironmentVariable("LC_MESSAGES");
    if (locale.isEmpty())
        locale = qEnvironmentVariable("LANG");
    QString language = languageOfLocale(locale);
    if (language.isEmpty())
        return QStringLiteral("en");
    // LANGUAGE lists the user's preferred message languages; it counts only for a real locale.
    const QString preferred = qEnvironmentVariable("LANGUAGE").section(QLatin1Char(':'), 0, 0);
    if (const QString first = languageOfLocale(preferred); !first.isEmpty())
        language = first;
    return language;
}

QString DefaultLanguage()
{
    // A three-letter code is a language without a two-letter one, so none of the seven, whatever its
    // first two letters spell ("kok" is not Korean).
    const QString language = GetUserLanguage();
    return language.size() == 2 && SupportedLanguages.contains(language) ? language : QStringLiteral("en");
}

QString Caption(const QObject* component)
{
    QString caption = rawCaption(component);
    if (showsMnemonics(component))
        caption.replace(QLatin1String("&&"), QLatin1String("&"));
    return caption;
}

void SetCaption(QObject* component, const QString& caption)
{
    if (!hasCaption(component))
        return;
    QString text = caption;
    if (showsMnemonics(component))
        text.replace(QLatin1Char('&'), QLatin1String("&&"));
    setRawCaption(component, text);
}
