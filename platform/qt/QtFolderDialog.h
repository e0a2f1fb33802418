#pragma once

#include "platform/FolderDialog.h"

// Qt's folder dialog, which follows the desktop's own when a platform theme provides one.
class QtFolderDialog final : public FolderDialog
{
public:
    std::optional<QString> chooseFolder(
        QWidget* owner, const QString& title, const QString& acceptLabel, const QString& current) override;
};
