#pragma once

#include <QString>
#include <optional>

class QWidget;

// The desktop's folder chooser, modal to `owner`.
class FolderDialog
{
public:
    virtual ~FolderDialog() = default;
    // Asks for an existing folder, starting at `current`, in a dialog titled `title` whose accepting button
    // reads `acceptLabel`. Empty when the user cancels.
    virtual std::optional<QString> chooseFolder(
        QWidget* owner, const QString& title, const QString& acceptLabel, const QString& current)
        = 0;
};
