#include "runtimeerror.h"

RuntimeError::RuntimeError(int number) : RuntimeError(number, standardDescription(number)) {}

RuntimeError::RuntimeError(int number, const QString& description)
    : std::runtime_error(
          QStringLiteral("Run-time error '%1': %2").arg(number).arg(description).toStdString()),
      m_number(number), m_description(description)
{
}

QString RuntimeError::message() const
{
    return QStringLiteral("Run-time error '%1': %2").arg(m_number).arg(m_description);
}

QString RuntimeError::standardDescription(int number)
{
    switch (number) {
    case InvalidArgument:
        return QStringLiteral("Invalid procedure call or argument");
    case Overflow:
        return QStringLiteral("Overflow");
    case TypeMismatch:
        return QStringLiteral("Type mismatch");
    case BadFileNameOrNumber:
        return QStringLiteral("Bad file name or number");
    case FileNotFound:
        return QStringLiteral("File not found");
    case DeviceIoError:
        return QStringLiteral("Device I/O error");
    case InputPastEndOfFile:
        return QStringLiteral("Input past end of file");
    case PermissionDenied:
        return QStringLiteral("Permission denied");
    case PathFileAccessError:
        return QStringLiteral("Path/File access error");
    case SetNotSupportedAtRuntime:
        return QStringLiteral("Set not supported at runtime");
    case SetNotSupported:
        return QStringLiteral("Set not supported (read-only property)");
    case SetNotPermitted:
        return QStringLiteral("Set not permitted");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}
