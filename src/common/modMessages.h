#pragma once

#include <QString>
#include <QStringList>

class QObject;

// A message box whose buttons carry captions chosen by the caller.
namespace modMessages {

// Icon flags of the platform message box; ShowCustomMessage's style carries only these.
enum IconStyle : int {
    IconCritical = 0x10,
    IconQuestion = 0x20,
    IconExclamation = 0x30,
    IconInformation = 0x40,
};

// One caption: an OK box; two: Yes/No; three or more: Yes/No/Cancel (further
// captions are ignored). Returns 1 for OK or Yes, 2 for No, 3 for Cancel.
int ShowCustomMessage(QObject *owner, const QString &message, const QString &caption, int style, const QStringList &buttonCaptions);

} // namespace modMessages
