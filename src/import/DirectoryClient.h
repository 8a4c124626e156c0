#pragma once

#include <QString>

#include <memory>
#include <vector>

// Where the directory import reads computers from: a directory server
// reached over LDAP. The one implementation in use is picked by Create;
// the import logic never sees the protocol library.
class DirectoryClient
{
public:
    enum class Security {
        Plain,
        StartTLS,
        LDAPS,
    };

    struct Server
    {
        QString Name;
        // 0: the protocol's default port for the security chosen.
        int Port = 0;
        Security Mode = Security::Plain;
        // PEM file of the authority that signed the server's certificate;
        // empty: the system's authorities.
        QString CAFile;
        // A DN is bound with as typed; any other name as "domain\user".
        QString User;
        QString Domain;
        // Kept in memory only, for the bind.
        QString Password;
        // How long the server may stay silent before it counts as gone.
        int TimeoutSeconds = 30;
    };

    // How an operation ended. Number and Text describe a failure for the
    // administrator; they never contain the password.
    struct Outcome
    {
        enum Kind {
            Success,
            BadCredentials,
            Unreachable,
            // TLS could not be set up with a certificate that checks out.
            Certificate,
            // The server answered StartTLS with no: it has no TLS set up.
            TlsRefused,
            // The connection went after the read had begun.
            ConnectionLost,
            // The server ended the read at a size or time limit of its own,
            // with rows missing.
            Limit,
            Cancelled,
            Other,
        };

        Kind Result = Success;
        int Number = 0;
        QString Text;

        bool ok() const { return Result == Success; }
    };

    struct Computer
    {
        QString Name;
        QString DNSName;
        // "LDAP://" + server + "/" + DN.
        QString ADsPath;
        // The directory's own identity of the entry, which a rename there
        // keeps: objectGUID as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
        // (Active Directory) or entryUUID (OpenLDAP); empty when neither came.
        QString DirectoryID;
    };

    // Told about the read while it goes on, on the caller's thread.
    class Observer
    {
    public:
        virtual ~Observer() = default;
        // After every RowStep rows; false abandons the search.
        virtual bool RowsRead(int count) = 0;
        // While waiting for the server; lets the caller's window breathe.
        virtual void Waiting() = 0;
    };

    static constexpr int RowStep = 10;
    // Far more than a file of authorities holds (the system's whole bundle
    // is a few hundred KB).
    static constexpr qint64 MaxCAFileBytes = 4 << 20;

    virtual ~DirectoryClient() = default;

    // Connects, binds and finds the naming context to read below.
    virtual Outcome Connect(const Server &server, Observer &observer) = 0;
    // Reads every computer below the naming context, page by page, into
    // `computers`. `firstPageOnly` stops after the first page (the
    // connection test). On any outcome but Success `computers` may hold a
    // part of the rows; the caller drops them.
    virtual Outcome ReadComputers(int pageSize, bool firstPageOnly, Observer &observer, std::vector<Computer> &computers) = 0;

    // The implementation of this platform.
    static std::unique_ptr<DirectoryClient> Create();
};
