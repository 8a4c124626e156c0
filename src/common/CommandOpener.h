#pragma once

#include "common/AssociatedOpener.h"

// Opens everything with one command chosen by the administrator
// (VARNO_OSK_OPENER): for a desktop without associations, a viewer on a
// server, or a script. The command may carry arguments of its own (a part
// that holds blanks in double quotes); the path comes last.
class CommandOpener final : public AssociatedOpener
{
public:
    explicit CommandOpener(QString command);

    int open(const QString &path, const QString &workingFolder) override;

private:
    QString m_command;
};
