#include "Targets.h"

#include "ClipboardTarget.h"
#include "FloatingTarget.h"
#include "ImageFileTarget.h"
#include "PrinterTarget.h"
#include "RecordingTarget.h"
#include "TextTarget.h"
#include "UploadTarget.h"
#include "save/Save.h"

TargetTable::TargetTable(TargetHost& host)
{
    auto file = [&host](const char* extension, ImageFileTarget::Writer writer) {
        return std::make_unique<ImageFileTarget>(host, QLatin1String(extension), std::move(writer));
    };
    m_targets.push_back(
        file("png", [](QImage& bitmap, const QString& name) { SaveBitmapPNG(bitmap, name); }));
    m_targets.push_back(file("jpg",
        [&host](QImage& bitmap, const QString& name) { SaveBitmapJPG(bitmap, name, host.jpegQuality()); }));
    m_targets.push_back(
        file("gif", [](QImage& bitmap, const QString& name) { SaveBitmapGIF(bitmap, name); }));
    m_targets.push_back(
        file("bmp", [](QImage& bitmap, const QString& name) { SaveBitmapBMP(bitmap, name); }));
    m_targets.push_back(std::make_unique<WebPTarget>(host));
    m_targets.push_back(std::make_unique<RecordingTarget>(host));
    auto text = std::make_unique<TextTarget>(host);
    m_text = text.get();
    m_targets.push_back(std::move(text));
    m_targets.push_back(std::make_unique<ClipboardTarget>(host));
    m_targets.push_back(std::make_unique<UploadTarget>(host));
    m_targets.push_back(std::make_unique<PrinterTarget>(host));
    auto floating = std::make_unique<FloatingTarget>(host);
    m_floating = floating.get();
    m_targets.push_back(std::move(floating));
}

TargetTable::~TargetTable() = default;

Target* TargetTable::at(int index) const
{
    return index >= 0 && index < size() ? m_targets[size_t(index)].get() : nullptr;
}
