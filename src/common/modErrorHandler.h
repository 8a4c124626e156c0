#pragma once

#include <QString>

#include <exception>
#include <utility>

// Message boxes and the console's failure path.
//
// Every operation of the console guards its own body:
//
//     bool ComputerDB::RenameFolder(int id, const QString &name)
//     {
//         bool renamed = false;
//         modErrorHandler::Guard("ComputerDB.RenameFolder", [&] {
//             ...
//             renamed = true;
//         });
//         return renamed;
//     }
//
// A failure inside the body (an exception, or modErrorHandler::Raise) is
// reported once through HandleError under the operation's qualified name;
// the operation then returns whatever result it had set, and its caller goes
// on. Nothing but the failure report leaves the guard.
namespace modErrorHandler {

enum MessageKind : short {
    Information = 0,
    Error = 1,
    Warning = 2,
    InternalError = 3,
};

// The failure being handled: number and description.
struct ErrorInfo
{
    int Number = 0;
    QString Description;
};

// A failure with a number, raised inside a guarded body.
class Failure : public std::exception
{
public:
    Failure(int number, QString description);

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// Raises failure `number`; without a description the standard text of the number is used.
[[noreturn]] void Raise(int number, const QString &description = QString());

// The number and description of the exception being handled; call it only
// inside a catch block. The numbers are those of the standard texts:
// std::out_of_range is 9 "Subscript out of range", std::overflow_error 6,
// std::invalid_argument 5, std::bad_alloc 7, anything else 51 "Internal
// error", so that every operation logs one fault under one number.
ErrorInfo ClassifyCurrentException();

// The standard text of an error number, as written on the log's "Message:" line.
QString StandardText(int number);

// The failure being handled by the innermost guard; number 0 outside of one.
const ErrorInfo &CurrentError();

void ShowMessage(MessageKind kind, const QString &message, const QString &procedureName = QString(), int number = 0);

// Reports the current failure: one log entry, one "Unexpected Error" box.
void HandleError(const QString &procedureName, const QString &details = QString());

// Appends one entry to the error log. Every CR in `details` becomes CR LF, and
// the caller sees the change. Returns the log's path, or empty text when
// nothing could be written.
QString LogError(const QString &procedureName, int number, const QString &message, QString &details);

// The error log file, or empty text when the temporary folder is not known.
QString LogFilePath();

namespace detail {
void ReportCurrentException(const char *procedureName, const QString &details) noexcept;
}

template<typename Body> bool Guard(const char *procedureName, const QString &details, Body &&body) noexcept
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        detail::ReportCurrentException(procedureName, details);
        return false;
    }
}

// Runs `body`; a failure in it is reported under `procedureName` and false is returned.
template<typename Body> bool Guard(const char *procedureName, Body &&body) noexcept
{
    return Guard(procedureName, QString(), std::forward<Body>(body));
}

} // namespace modErrorHandler
