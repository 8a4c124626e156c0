#include "engine/ClientStatus.h"

namespace ClientStatus {

namespace {

using namespace TreeImage;

struct Code
{
    const char *code;
    const char *text;
    TreeImage::Image image;
};

constexpr Code kCodes[] = {
    {"ID", "Idle", StatusNotProcessed},
    {"NP", "Not processed", StatusNotProcessed},
    {"CL", "Client executing", StatusExecuting},
    {"PS", "Client process successful", StatusSuccess},
    {"PW", "Client process finished with warnings", StatusWarnings},
    {"PE", "Client process finished with errors", StatusErrors},
    {"XS", "Migration successful", StatusSuccess},
    {"XW", "Migration complete with warnings", StatusWarnings},
    {"XE", "Migration complete with errors", StatusErrors},
    {"XC", "Migration canceled", StatusCanceled},
    {"XA", "Migration aborted", StatusAborted},
    {"AP", "Abort pending", StatusAborting},
    {"WR", "Waiting for the client to report", StatusExecuting},
};

// The families of codes that carry a step number after their letter.
// Two descriptions of them exist: the engine's own list names the bare
// letters ("L", "U", "A"; our simulated engine sends a bare "U"), and the
// rule of the progress log takes every code from the letter with 0 to the
// letter with 9 in text order, which also lets "L5x" in. A code either one
// names is the family's, so that no code the engine may send by either
// reading ends up "Unspecified".
constexpr Code kFamilies[] = {
    {"L", "Loading in progress", StatusLoading},
    {"A", "Aborting in progress", StatusAborting},
    {"U", "Unloading in progress", StatusUnloading},
};

bool inFamily(const QString &code, QChar letter)
{
    return code == QString(letter) || (code >= QString(letter) + QLatin1Char('0') && code <= QString(letter) + QLatin1Char('9'));
}

} // namespace

Entry Lookup(const QString &code)
{
    for (const Code &known : kCodes) {
        if (code == QLatin1String(known.code))
            return {QString::fromLatin1(known.text), known.image};
    }
    for (const Code &family : kFamilies) {
        if (inFamily(code, QLatin1Char(family.code[0])))
            return {QString::fromLatin1(family.text), family.image};
    }
    return {QStringLiteral("Unspecified status = ") + code, StatusUnknown};
}

Category CategoryOf(const QString &code)
{
    if (code.isEmpty() || code == QLatin1String("ID") || code == QLatin1String("NP"))
        return Category::NotStarted;
    if (code == QLatin1String("XS"))
        return Category::Successful;
    if (code == QLatin1String("XW"))
        return Category::Warnings;
    if (code == QLatin1String("XE"))
        return Category::Errors;
    if (code == QLatin1String("XC"))
        return Category::Canceled;
    if (code == QLatin1String("XA"))
        return Category::Aborted;
    return Category::InProgress;
}

int GroupImage(Category category)
{
    switch (category) {
    case Category::NotStarted:
        return -1;
    case Category::InProgress:
        return StatusExecuting;
    case Category::Successful:
        return StatusSuccess;
    case Category::Warnings:
        return StatusWarnings;
    case Category::Errors:
        return StatusErrors;
    case Category::Canceled:
        return StatusCanceled;
    case Category::Aborted:
        return StatusAborted;
    }
    return -1;
}

bool ReportedByClient(const QString &code)
{
    if (CategoryOf(code) != Category::InProgress || code == QLatin1String("AP"))
        return false;
    for (const Code &family : kFamilies) {
        if (inFamily(code, QLatin1Char(family.code[0])))
            return false;
    }
    return true;
}

} // namespace ClientStatus
