#include "shell/modTreeImages.h"

namespace modTreeImages {

using namespace TreeImage;

namespace {

bool InRange(const QString &code, QChar letter)
{
    return code >= QString(letter) + QLatin1Char('0') && code <= QString(letter) + QLatin1Char('9');
}

} // namespace

int StatusImage(const QString &code)
{
    if (code == QLatin1String("NP") || code == QLatin1String("ID"))
        return StatusNotProcessed;
    if (code == QLatin1String("CL"))
        return StatusExecuting;
    if (code == QLatin1String("XS") || code == QLatin1String("PS"))
        return StatusSuccess;
    if (code == QLatin1String("XW") || code == QLatin1String("PW"))
        return StatusWarnings;
    if (code == QLatin1String("XE") || code == QLatin1String("PE"))
        return StatusErrors;
    if (code == QLatin1String("XC"))
        return StatusCanceled;
    if (code == QLatin1String("XA"))
        return StatusAborted;
    if (code == QLatin1String("AP") || InRange(code, QLatin1Char('A')))
        return StatusAborting;
    if (InRange(code, QLatin1Char('L')))
        return StatusLoading;
    if (InRange(code, QLatin1Char('U')))
        return StatusUnloading;
    return StatusUnknown;
}

} // namespace modTreeImages
