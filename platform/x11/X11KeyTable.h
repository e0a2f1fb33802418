#pragma once

#include <QtGlobal>

// The X keysym of a Windows virtual-key code; 0 for a code without one here.
quint32 keysymForVirtualKey(quint32 virtualKey);
