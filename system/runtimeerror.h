#pragma once

#include <QString>
#include <stdexcept>

// A numbered run-time error, as the program's routines raise it to their caller.
// The number identifies the error; the description is the standard text for it.
class RuntimeError : public std::runtime_error
{
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, const QString& description);

    int number() const { return m_number; }
    QString description() const { return m_description; }

    // "Run-time error '53': File not found"
    QString message() const;

    // The standard description for an error number ("Application-defined or
    // object-defined error" for numbers without one of their own).
    static QString standardDescription(int number);

    enum Number
    {
        InvalidArgument = 5,
        Overflow = 6,
        TypeMismatch = 13,
        BadFileNameOrNumber = 52,
        FileNotFound = 53,
        DeviceIoError = 57,
        InputPastEndOfFile = 62,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        SetNotSupportedAtRuntime = 382,
        SetNotSupported = 383,
        SetNotPermitted = 387,
    };

private:
    int m_number;
    QString m_description;
};
