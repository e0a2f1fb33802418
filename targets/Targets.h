#pragma once

#include <memory>
#include <vector>

class FloatingTarget;
class Target;
class TargetHost;
class TextTarget;

// The output targets, as indexes of the main window's target list and as stored in the setting "saveto".
enum SaveTarget {
    stPNG = 0,
    stJPG = 1,
    stGIF = 2,
    stBMP = 3,
    stWebP = 4,
    stMP4 = 5,
    stTXT = 6,
    stClipboard = 7,
    stImageStore = 8,
    stPrinter = 9,
    stFloating = 10,
};

// One target object for each entry of the target list, in the list's order.
class TargetTable
{
public:
    explicit TargetTable(TargetHost& host);
    ~TargetTable();

    // The target at a list index; null for an index outside the list (no selection).
    Target* at(int index) const;
    int size() const { return int(m_targets.size()); }
    TextTarget& text() const { return *m_text; }
    FloatingTarget& floating() const { return *m_floating; }

private:
    std::vector<std::unique_ptr<Target>> m_targets;
    TextTarget* m_text = nullptr;
    FloatingTarget* m_floating = nullptr;
};
