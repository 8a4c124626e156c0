#include "import/ADSImportInput.h"

#include "common/AppState.h"
#include "common/modFileRead.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"

#include <QFileInfo>

namespace {

const QString kServer = QStringLiteral("ADImportServer");
const QString kDomain = QStringLiteral("ADImportDomain");
const QString kUser = QStringLiteral("ADImportUser");
const QString kPort = QStringLiteral("ADImportPort");
const QString kSecurity = QStringLiteral("ADImportSecurity");
const QString kCAFile = QStringLiteral("ADImportCAFile");

constexpr int kHighestPort = 65535;

} // namespace

QString ADSImportInput::SecurityName(DirectoryClient::Security mode)
{
    switch (mode) {
    case DirectoryClient::Security::StartTLS:
        return QStringLiteral("StartTLS");
    case DirectoryClient::Security::LDAPS:
        return QStringLiteral("LDAPS");
    case DirectoryClient::Security::Plain:
        break;
    }
    return QStringLiteral("Plain");
}

DirectoryClient::Security ADSImportInput::SecurityFromName(const QString &name)
{
    for (const auto mode : {DirectoryClient::Security::StartTLS, DirectoryClient::Security::LDAPS}) {
        if (name.compare(SecurityName(mode), Qt::CaseInsensitive) == 0)
            return mode;
    }
    return DirectoryClient::Security::Plain;
}

ADSImportInput ADSImportInput::LoadLastInfo()
{
    const QString &key = AppState::Get().AppKeyPath;
    ADSImportInput input;
    input.Server = modRegistry::GetSettingString(key, kServer);
    input.Domain = modRegistry::GetSettingString(key, kDomain);
    input.User = modRegistry::GetSettingString(key, kUser);
    input.Port = modRegistry::GetSettingString(key, kPort);
    input.Mode = SecurityFromName(modRegistry::GetSettingString(key, kSecurity));
    input.CAFile = modRegistry::GetSettingString(key, kCAFile);
    return input;
}

void ADSImportInput::SaveLastInfo() const
{
    const QString &key = AppState::Get().AppKeyPath;
    modRegistry::SaveSettingString(key, kServer, Server);
    modRegistry::SaveSettingString(key, kDomain, Domain);
    modRegistry::SaveSettingString(key, kUser, User);
    modRegistry::SaveSettingString(key, kPort, Port);
    modRegistry::SaveSettingString(key, kSecurity, SecurityName(Mode));
    modRegistry::SaveSettingString(key, kCAFile, CAFile);
}

ADSImportInput::Problem ADSImportInput::DoInputChecks() const
{
    if (Server.isEmpty())
        return {ServerField, QStringLiteral("You must enter the name of your Active Directory server.")};
    if (User.isEmpty())
        return {UserField, QStringLiteral("You must enter a username. Please try again.")};
    if (Domain.isEmpty())
        return {DomainField, QStringLiteral("You must enter the user's domain name.")};
    if (!modFormat::IsValidHostName(Server))
        return {ServerField, QStringLiteral("The server name entered contains invalid characters.")};
    // A DN is a user name too: the directory is asked with it as typed.
    if (!modFormat::IsValidName(User) && !User.contains(QLatin1Char('=')))
        return {UserField, QStringLiteral("The username entered contains invalid characters.")};
    if (!modFormat::IsValidName(Domain))
        return {DomainField, QStringLiteral("The domain name entered contains invalid characters.")};
    if (!Port.isEmpty() && (!modFormat::IsNumeric(Port) || Port.size() > 5 || Port.toInt() < 1 || Port.toInt() > kHighestPort))
        return {PortField, QStringLiteral("The port must be a number from 1 to 65535, or empty for the usual port.")};
    if (Mode != DirectoryClient::Security::Plain && !CAFile.isEmpty()) {
        // The TLS library reads the file whole, and would read a device or a
        // pipe for ever.
        QString reason = modFileRead::Refusal(CAFile, DirectoryClient::MaxCAFileBytes);
        if (reason.isEmpty() && !QFileInfo(CAFile).isReadable())
            reason = QStringLiteral("it does not exist or may not be read");
        if (!reason.isEmpty())
            return {CAFileField, QStringLiteral("The certificate authority file \"%1\" cannot be read: %2.").arg(CAFile, reason)};
    }
    return {};
}

DirectoryClient::Server ADSImportInput::ToServer() const
{
    DirectoryClient::Server server;
    server.Name = Server;
    server.Port = Port.isEmpty() ? 0 : Port.toInt();
    server.Mode = Mode;
    server.CAFile = Mode == DirectoryClient::Security::Plain ? QString() : CAFile;
    server.User = User;
    server.Domain = Domain;
    server.Password = Password;
    return server;
}
