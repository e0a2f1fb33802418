#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// One entry of a save dialog's type list: "PNG" with {"*.png"}.
struct FileType
{
    QString name;
    QStringList patterns;
};

struct SaveChoice
{
    QString fileName;
    // The chosen entry of the type list, from 0. The caller writes in this type whatever the name's
    // extension says.
    int typeIndex = 0;
};

// The desktop's file-save dialog, modal to `owner`.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    // Asks for a file to save to, starting in `folder`, offering `types` in their order. A name typed
    // without an extension gets that of the chosen type; replacing an existing file is asked first. Empty
    // when the user cancels.
    virtual std::optional<SaveChoice> chooseSaveFile(
        QWidget* owner, const QString& folder, const QList<FileType>& types)
        = 0;
};
