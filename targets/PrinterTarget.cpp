#include "PrinterTarget.h"

#include "save/Save.h"

void PrinterTarget::deliver(Shot& shot)
{
    PrintBitmap(host().platform(), shot.bitmap, host().pixelsPerInch());
}
