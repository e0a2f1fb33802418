#pragma once

#include <QUrl>

// Opens addresses and folders with the desktop's handler.
class Shell
{
public:
    virtual ~Shell() = default;
    // False when no handler could be started.
    virtual bool open(const QUrl& url) = 0;
};
