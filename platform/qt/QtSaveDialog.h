#pragma once

#include "platform/SaveDialog.h"

// Qt's file dialog, which follows the desktop's own when a platform theme provides one.
class QtSaveDialog final : public SaveDialog
{
public:
    std::optional<SaveChoice> chooseSaveFile(
        QWidget* owner, const QString& folder, const QList<FileType>& types) override;
};
