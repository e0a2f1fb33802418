#pragma once

// The capture sources, as indexes of the main window's source list and as stored in the setting "area".
enum CaptureSource {
    csFullScreen = 0,
    csRegion = 1,
    csDrag = 2,
    csActiveWindow = 3,
    csWindowControl = 4,
    csWebPage = 5,
    csColorPick = 6,
};
