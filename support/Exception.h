#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of the program's exceptions: a fixed English message, shown to the user by the handler of the one
// user action in which it was raised. Never let through to the event loop.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) { }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A text that should hold a number does not.
class EConvertError : public Exception
{
    using Exception::Exception;
};

// A file could not be created, written or replaced; the message names the file and gives the system's
// reason.
class EFileError : public Exception
{
    using Exception::Exception;
};

// The screen could not be read.
class ECaptureError : public Exception
{
    using Exception::Exception;
};
