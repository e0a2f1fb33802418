#pragma once

#include "Target.h"

#include <functional>

// A picture written to the next free file name of its extension: PNG, JPG, GIF, BMP and WebP.
class ImageFileTarget : public Target
{
public:
    // Writes the bitmap to the file; throws on failure.
    using Writer = std::function<void(QImage& bitmap, const QString& fileName)>;

    ImageFileTarget(TargetHost& host, QString extension, Writer writer);

    void deliver(Shot& shot) override;

private:
    QString m_extension;
    Writer m_writer;
};

// WebP is written through a library loaded at run time; without it the target cannot run.
class WebPTarget final : public ImageFileTarget
{
public:
    explicit WebPTarget(TargetHost& host);

    std::optional<Unavailable> problem() const override;
};
