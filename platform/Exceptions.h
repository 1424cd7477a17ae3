#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Failures travel as exceptions carrying a user-facing (Japanese) message. Whatever escapes an
// event handler is shown by the program-wide error box (see ErrorGuard).
class Exception : public std::exception
{
public:
    explicit Exception(QString message, QString detail = QString());
    const QString &message() const { return m_message; }
    // Why it happened, where the message alone leaves the user guessing; the error box shows
    // it below the message. Empty for most failures.
    const QString &detail() const { return m_detail; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_detail;
    QByteArray m_utf8;
};

// A text that should have been a number.
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

// A file that could not be created or written.
class EFCreateError : public Exception
{
public:
    using Exception::Exception;
};

// A file that could not be found or opened for reading.
class EFOpenError : public Exception
{
public:
    using Exception::Exception;
};

// Decimal text to integer the way the unit's texts are read: optional leading blanks, an
// optional sign, decimal digits, nothing after them. Throws EConvertError
// "'<text>' は整数ではありません" otherwise (also when the value does not fit 32 bits).
int StrToInt(const QString &text);

// As StrToInt, but gives def instead of throwing.
int StrToIntDef(const QString &text, int def);

// The error box's text: the message with a full stop appended when its last character sorts
// after "."; a detail follows on a line of its own.
QString errorBoxText(const QString &message, const QString &detail = QString());
