#include "QtSaveDialog.h"

#include <QFileDialog>

namespace {

// "*.jpg" gives "jpg".
QString extensionOf(const FileType& type)
{
    return type.patterns.value(0).section(QLatin1Char('.'), 1);
}

} // namespace

std::optional<SaveChoice> QtSaveDialog::chooseSaveFile(
    QWidget* owner, const QString& folder, const QList<FileType>& types)
{
    QFileDialog dialog(owner, QString(), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const FileType& type : types)
        filters.append(QStringLiteral("%1 (%2)").arg(type.name, type.patterns.join(QLatin1Char(' '))));
    dialog.setNameFilters(filters);
    if (!types.isEmpty())
        dialog.setDefaultSuffix(extensionOf(types.first()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const int index = int(filters.indexOf(filter));
        if (index >= 0)
            dialog.setDefaultSuffix(extensionOf(types[index]));
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return SaveChoice { chosen.first(), std::max(0, int(filters.indexOf(dialog.selectedNameFilter()))) };
}
