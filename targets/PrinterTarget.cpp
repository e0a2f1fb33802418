#include "PrinterTarget.h"

#include "save/Save.h"

void PrinterTarget::Deliver(Shot& shot)
{
    PrintBitmap(host().platform(), shot.bitmap, host().PixelsPerInch());
}
