#include "QtFolderDialog.h"

#include <QFileDialog>

std::optional<QString> QtFolderDialog::chooseFolder(
    QWidget* owner, const QString& title, const QString& acceptLabel, const QString& current)
{
    QFileDialog dialog(owner, title, current);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, acceptLabel);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}
