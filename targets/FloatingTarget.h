#pragma once

#include "Target.h"
#include "sharing/FloatingWindow.h"

#include <memory>
#include <vector>

// The capture pinned in a floating window over the place it was taken from. The windows stay until
// deleted from their own menu or the program ends.
class FloatingTarget final : public QObject, public Target, public FloatingHost
{
public:
    explicit FloatingTarget(TargetHost& host);
    ~FloatingTarget() override;

    // Everything but the web page, which has no place on the screen.
    bool accepts(int source) const override;
    void deliver(Shot& shot) override;

    // The open windows, in opening order.
    const std::vector<std::unique_ptr<FloatingWindow>>& windows() const { return m_windows; }

    QString saveFolder() const override { return host().saveFolder(); }
    int jpegQuality() const override { return host().jpegQuality(); }
    int webpQuality() const override { return host().webpQuality(); }
    Platform& platform() const override { return host().platform(); }
    void deleteFloating(FloatingWindow* window) override;

private:
    std::vector<std::unique_ptr<FloatingWindow>> m_windows;
    // Deleted windows, freed once the menu that deleted them has returned.
    std::vector<std::unique_ptr<FloatingWindow>> m_leaving;
};
