#pragma once

#include <QString>

// How capture files are named, as the setting "append" stores it.
enum class NamingScheme {
    // ... after the highest number in the save folder.
    AfterHighest = 1,
    // Q- and the date and time to the millisecond.
    DateTime = 2,
    // The first free number from Q-001 on.
    FirstFree = 3,
};

// Names every file the program writes into the save folder.
class FileNamer
{
public:
    // A stored value that names no scheme names by date and time.
    static NamingScheme schemeOf(int stored);

    // The next free name for `extension` in `folder`. Throws an EFileError for a path that cannot exist.
    static QString newFileName(const QString& folder, NamingScheme scheme, const QString& extension);
    // The highest number of the "Q-<number>.<anything>" entries in `folder`; 0 for none.
    static int highestNumber(const QString& folder);
};
