#include "engine/DispatchWrapper.h"

#include <QHash>

namespace {

const QHash<int, QString> &catalogue()
{
    static const QHash<int, QString> texts = {
        {1002,
            QStringLiteral("The Handler could not write its log files in the results folder.  Check that the log path in the "
                           "configuration dialog exists and can be written.")},
        {1003,
            QStringLiteral("The migration settings could not be read from the registry.  Open the configuration dialog "
                           "(Tools -> Configuration...), check the settings, press OK and start the migration again.")},
        {1004, QStringLiteral("The Handler could not start a Transferor process.")},
        {1021,
            QStringLiteral("No listener IP address is configured.  Choose a listener IP address in the configuration dialog "
                           "before starting a migration.")},
        {1027,
            QStringLiteral("The Handler could not listen on the listener port.  Another program may already be using it; "
                           "choose another port in the configuration dialog.")},
        {1028,
            QStringLiteral("The Handler could not listen on the listener IP address.  The address may no longer belong to "
                           "this computer; choose another one in the configuration dialog.")},
        {1029, QStringLiteral("The Handler was given an invalid client list.")},
        {1032,
            QStringLiteral("The Handler is already processing a migration.  Wait for it to complete, or abort it, before "
                           "starting another.")},
        {1033, QStringLiteral("The Handler could not read the configuration files of the clients.")},
        {1043,
            QStringLiteral("The results folder of the migration job could not be created.  Check the log path in the "
                           "configuration dialog and the migration job name.")},
        {1044, QStringLiteral("The client service files were not found in the source path.")},
        {1045,
            QStringLiteral("The engine program varno-osk-engine could not be started.  Check that it is installed beside the "
                           "console.")},
        {1046, QStringLiteral("The engine program ended before the run did.  The clients it had not finished end with errors.")},
        {3027, QStringLiteral("Communication has been established with the Handler.  The network test was successful.")},
        {4008, QStringLiteral("Starting the network test listener...")},
        {4009, QStringLiteral("Stopping the network test listener...")},
        {9999, QStringLiteral("Error code:")},
    };
    return texts;
}

} // namespace

QString DispatchWrapper::MessageText(int number) const
{
    return catalogue().value(number);
}
