#pragma once

#include "import/DirectoryClient.h"

#include <QString>

// What the directory import dialog asks for, with its rules: the checks in
// the order the dialog makes them, and the entries it remembers in the
// console's registry key (never the password).
struct ADSImportInput
{
    // The control a failed check puts the focus on.
    enum Field {
        NoField,
        ServerField,
        UserField,
        DomainField,
        PortField,
        CAFileField,
    };

    struct Problem
    {
        Field Focus = NoField;
        QString Message;

        bool ok() const { return Focus == NoField; }
    };

    QString Server;
    // Empty: the default port of the security chosen.
    QString Port;
    DirectoryClient::Security Mode = DirectoryClient::Security::Plain;
    QString CAFile;
    QString User;
    QString Domain;
    QString Password;
    bool AllUsers = false;

    // The remembered entries, each empty when none was stored.
    static ADSImportInput LoadLastInfo();
    // Server, domain, user, port, security and CA file; never the password.
    void SaveLastInfo() const;

    // The first entry that would not do, with its message.
    Problem DoInputChecks() const;

    // Call after DoInputChecks passed.
    DirectoryClient::Server ToServer() const;

    // The registry words of the security choices: "Plain", "StartTLS", "LDAPS".
    static QString SecurityName(DirectoryClient::Security mode);
    // Plain for a word it does not know.
    static DirectoryClient::Security SecurityFromName(const QString &name);
};
