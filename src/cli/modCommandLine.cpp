#include "cli/modCommandLine.h"

#include <QTextStream>

namespace modCommandLine {

int Fail(QTextStream &err, const QString &text)
{
    err << "ERROR: " << text << '\n';
    err.flush();
    return Failed;
}

} // namespace modCommandLine
