#include "QtMessageBoxes.h"

#include <QMessageBox>

MessageResult QtMessageBoxes::show(
    QWidget* owner, MessageIcon icon, const QString& title, const QString& text, MessageButtons buttons)
{
    QMessageBox box(owner);
    box.setWindowTitle(title);
    // The program's texts break lines with carriage returns, which a label does not.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
    const int result = box.exec();
    if (buttons == MessageButtons::YesNo)
        return result == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
    return MessageResult::Ok;
}
