#include "common/modErrorHandler.h"

#include "common/AppInfo.h"
#include "common/Clock.h"
#include "common/Presenter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcessEnvironment>

#include <new>
#include <optional>
#include <stdexcept>

namespace modErrorHandler {

namespace {

const QString CR = QStringLiteral("\r");
const QString CRLF = QStringLiteral("\r\n");

thread_local ErrorInfo t_currentError;

// The standard texts of the error numbers the console can meet. The log
// records these rather than a failure's own description, so that entries of
// the same fault read the same.
const QHash<int, QString> &standardTexts()
{
    static const QHash<int, QString> texts = {
        {3, QStringLiteral("Return without GoSub")},
        {5, QStringLiteral("Invalid procedure call or argument")},
        {6, QStringLiteral("Overflow")},
        {7, QStringLiteral("Out of memory")},
        {9, QStringLiteral("Subscript out of range")},
        {10, QStringLiteral("This array is fixed or temporarily locked")},
        {11, QStringLiteral("Division by zero")},
        {13, QStringLiteral("Type mismatch")},
        {14, QStringLiteral("Out of string space")},
        {17, QStringLiteral("Can't perform requested operation")},
        {18, QStringLiteral("User interrupt occurred")},
        {28, QStringLiteral("Out of stack space")},
        {35, QStringLiteral("Sub or Function not defined")},
        {48, QStringLiteral("Error in loading DLL")},
        {51, QStringLiteral("Internal error")},
        {52, QStringLiteral("Bad file name or number")},
        {53, QStringLiteral("File not found")},
        {54, QStringLiteral("Bad file mode")},
        {55, QStringLiteral("File already open")},
        {57, QStringLiteral("Device I/O error")},
        {58, QStringLiteral("File already exists")},
        {61, QStringLiteral("Disk full")},
        {62, QStringLiteral("Input past end of file")},
        {67, QStringLiteral("Too many files")},
        {68, QStringLiteral("Device unavailable")},
        {70, QStringLiteral("Permission denied")},
        {71, QStringLiteral("Disk not ready")},
        {75, QStringLiteral("Path/File access error")},
        {76, QStringLiteral("Path not found")},
        {91, QStringLiteral("Object variable or With block variable not set")},
        {92, QStringLiteral("For loop not initialized")},
        {93, QStringLiteral("Invalid pattern string")},
        {94, QStringLiteral("Invalid use of Null")},
        {380, QStringLiteral("Invalid property value")},
        {381, QStringLiteral("Invalid property array index")},
        {424, QStringLiteral("Object required")},
        {429, QStringLiteral("ActiveX component can't create object")},
        {438, QStringLiteral("Object doesn't support this property or method")},
        {440, QStringLiteral("Automation error")},
        {445, QStringLiteral("Object doesn't support this action")},
        {449, QStringLiteral("Argument not optional")},
        {450, QStringLiteral("Wrong number of arguments or invalid property assignment")},
        {457, QStringLiteral("This key is already associated with an element of this collection")},
        {462, QStringLiteral("The remote server machine does not exist or is unavailable")},
    };
    return texts;
}

// Windows keeps the names of environment variables without regard to case;
// "tmp" there is TMP. Here the first variable of that name in any case counts.
// Returns no value when no such variable exists at all.
std::optional<QString> environmentValue(const QProcessEnvironment &env, const QString &name)
{
    const QStringList keys = env.keys();
    for (const QString &key : keys) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return env.value(key);
    }
    return std::nullopt;
}

QString hexNumber(int number)
{
    return QString::number(static_cast<quint32>(number), 16).toUpper();
}

QString crToCrLf(QString text)
{
    return text.replace(CR, CRLF);
}

} // namespace

Failure::Failure(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toLocal8Bit())
{ }

void Raise(int number, const QString &description)
{
    throw Failure(number, description.isEmpty() ? StandardText(number) : description);
}

ErrorInfo ClassifyCurrentException()
{
    try {
        throw;
    } catch (const Failure &failure) {
        return {failure.number(), failure.description()};
    } catch (const std::bad_alloc &) {
        return {7, StandardText(7)};
    } catch (const std::out_of_range &e) {
        return {9, QString::fromLocal8Bit(e.what())};
    } catch (const std::overflow_error &e) {
        return {6, QString::fromLocal8Bit(e.what())};
    } catch (const std::invalid_argument &e) {
        return {5, QString::fromLocal8Bit(e.what())};
    } catch (const std::exception &e) {
        return {51, QString::fromLocal8Bit(e.what())};
    } catch (...) {
        return {51, StandardText(51)};
    }
}

QString StandardText(int number)
{
    return standardTexts().value(number, QStringLiteral("Application-defined or object-defined error"));
}

const ErrorInfo &CurrentError()
{
    return t_currentError;
}

QString LogFilePath()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const std::optional<QString> tmp = environmentValue(env, QStringLiteral("tmp"));
    const std::optional<QString> temp = environmentValue(env, QStringLiteral("temp"));

    QString folder;
    if (tmp && !tmp->isEmpty())
        folder = *tmp;
    else if (temp && !temp->isEmpty())
        folder = *temp;
    else if (!tmp && !temp)
        // Neither is part of this platform's environment unless someone set it;
        // then the platform's own temporary folder (TMPDIR, else /tmp) stands in.
        folder = QDir::tempPath();
    // Set but empty: the administrator switched the log off.
    if (folder.isEmpty())
        return QString();

    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QStringLiteral("/VO-Error.log");
}

QString LogError(const QString &procedureName, int number, const QString &message, QString &details)
{
    const QString messageText = crToCrLf(message);
    details = crToCrLf(details);

    const QString path = LogFilePath();
    if (path.isEmpty())
        return QString();

    const QString rule = QString(18, QLatin1Char('-'));
    QString entry;
    entry += rule + QStringLiteral(" VARNO-OSK ERROR ") + rule + CRLF;
    entry += QStringLiteral("Date: ") + Clock::instance().currentDateTime().toString(QStringLiteral("yyyy/M/d hh:mm")) + CRLF;
    entry += QStringLiteral("Number: %1 (0x%2)").arg(number).arg(hexNumber(number)) + CRLF;
    entry += QStringLiteral("Function: ") + procedureName + CRLF;
    entry += QStringLiteral("Details: ") + details + CRLF;
    entry += QStringLiteral("Message: ") + messageText + CRLF;
    entry += QString(53, QLatin1Char('-')) + CRLF + CRLF;

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QString();
    const QByteArray bytes = entry.toLocal8Bit();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return QString();
    file.close();
    return path;
}

void ShowMessage(MessageKind kind, const QString &message, const QString &procedureName, int number)
{
    Presenter::Message box;
    box.caption = AppInfo::Title();
    box.buttons = Presenter::Buttons::Ok;

    switch (kind) {
    case Information:
        box.icon = Presenter::Icon::Information;
        box.text = message;
        break;
    case Warning:
        box.icon = Presenter::Icon::Exclamation;
        box.text = message;
        break;
    case InternalError: {
        const QString procedure = procedureName.isEmpty() ? QStringLiteral("(Not specified)") : procedureName;
        QString details = QStringLiteral("N/A");
        QString logPath = LogError(procedure, number, message, details);
        if (logPath.isEmpty())
            logPath = QStringLiteral("(Not logged)");
        box.icon = Presenter::Icon::Critical;
        box.text = QStringLiteral("An unexpected internal error has occured.  Please report the following") + CR
            + QStringLiteral("information to ") + AppInfo::CompanyName() + CR + CR + QStringLiteral("Function: ") + procedure + CR
            + QStringLiteral("Number: ") + QString::number(number) + CR + QStringLiteral("Log: ") + logPath + CR + CR + message;
        break;
    }
    case Error:
    default:
        box.icon = Presenter::Icon::Critical;
        box.text = message;
        break;
    }

    Presenter::current().showMessage(box);
}

void HandleError(const QString &procedureName, const QString &details)
{
    const ErrorInfo error = CurrentError();

    QString loggedDetails = details;
    QString logPath = LogError(procedureName, error.Number, StandardText(error.Number), loggedDetails);
    if (logPath.isEmpty())
        logPath = QStringLiteral("(Not logged)");

    QString text = QStringLiteral("An unexpected error has occured.  Please report the following ") + CR + QStringLiteral("information to ")
        + AppInfo::CompanyName() + QStringLiteral(".  We strongly recommend ") + CR
        + QStringLiteral("that you close out of the application and restart as soon as possible.") + CR + CR
        + QStringLiteral("Error Number: %1 (%2)").arg(error.Number).arg(hexNumber(error.Number)) + CR + QStringLiteral("Function: ")
        + procedureName + CR + QStringLiteral("Log: ") + logPath;
    // The details as the log wrote them: LogError hands its CR LF version back.
    if (!loggedDetails.isEmpty())
        text += CR + QStringLiteral("Details: ") + loggedDetails;
    text += CR + CR + error.Description;

    Presenter::Message box;
    box.text = text;
    box.caption = QStringLiteral("Unexpected Error");
    box.icon = Presenter::Icon::Critical;
    box.buttons = Presenter::Buttons::Ok;
    Presenter::current().showMessage(box);
}

namespace detail {

void ReportCurrentException(const char *procedureName, const QString &details) noexcept
{
    const ErrorInfo previous = t_currentError;
    try {
        t_currentError = ClassifyCurrentException();
        HandleError(QString::fromUtf8(procedureName), details);
    } catch (...) {
        // The reporter never fails in turn; a report that cannot be made is dropped.
    }
    t_currentError = previous;
}

} // namespace detail

} // namespace modErrorHandler
