// The print module: the print system's default printer through Qt and CUPS.

#include "QtPrinter.h"

extern "C" __attribute__((visibility("default"))) Printer* lumetraCreatePrinter()
{
    return new QtPrinter;
}
