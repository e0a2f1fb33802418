#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QAction;
class QObject;

// The product name as the interface's source text; every window title starts from it.
inline const QString ProductCaption = QStringLiteral("루메트라");

// The interface languages, in the order of the language menu and the settings.
inline const QStringList SupportedLanguages
    = { QStringLiteral("ko"), QStringLiteral("en"), QStringLiteral("ja"), QStringLiteral("ru"),
          QStringLiteral("it"), QStringLiteral("fr"), QStringLiteral("zh") };

// Loads the table from the program's resources (or from `path`) and presets the current language from the
// user's locale. Run once before the first window exists. A missing or damaged table is no error: the
// texts then show in their Korean source form.
void InitTranslate(const QString& path = QStringLiteral(":/translate.txt"));

// Replaces the table by the lines of `data`, read as the table's file format: UTF-8 with or without a
// byte-order mark, lines ended by CR LF, CR or LF. Whatever cannot be decoded is kept as far as it goes.
void LoadTranslateTable(const QByteArray& data);
// The lines the table holds, empty lines (block separators) included.
QStringList TranslateTableLines();

// The source text in `language`, or in the current language when it is empty. The first table line in any
// language whose text equals `source` (ASCII letters in any case) picks the row; its line for the language,
// else its English line, is the answer. Texts the table does not know come back unchanged. Either way the
// two characters backslash-n become one carriage return.
QString TranslateText(const QString& source, const QString& language = {});

// Translates a window or component and everything it owns. A non-empty `language` first becomes the
// current language. Titles of top-level windows are English in every language but Korean; combo boxes
// keep their selection.
void TranslateComponent(QObject* root, const QString& language = {});
// A menu item and its submenu, depth first, into the current language.
void TranslateMenuItem(QAction* item);
// Every entry, in place, into the current language.
void TranslateStrings(QStringList& strings);

// The current interface language, a two-letter code.
QString CurrentLanguage();

// The ISO 639 code of the user's interface language (LC_ALL, else LC_MESSAGES, else LANG, refined by the
// LANGUAGE list as the C library does); "en" when none is set or it names no language ("C", "POSIX").
QString GetUserLanguage();
// The interface language a first start uses: the user's language when it is one of the seven, else "en".
QString DefaultLanguage();

// The caption a component shows to the user, read and written as plain text: a top-level window's title,
// a label's or button's text, a group box's or menu's title, an action's text. Components that show
// mnemonics get "&" doubled, so a caption never grows an accelerator underline. Empty for components
// without a caption; SetCaption ignores those.
QString Caption(const QObject* component);
void SetCaption(QObject* component, const QString& caption);
