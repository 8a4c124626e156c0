#pragma once

#include "import/DirectoryClient.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

struct ldap;
struct ldapmsg;
struct ldap_conncb;

// The directory client over OpenLDAP's libldap. Every request is sent
// asynchronously and its answer awaited in short slices, so that a server
// that accepts a connection and then says nothing costs a timeout, not a
// frozen window. TLS always checks the server's certificate.
class LdapDirectoryClient final : public DirectoryClient
{
public:
    LdapDirectoryClient() = default;
    ~LdapDirectoryClient() override;
    LdapDirectoryClient(const LdapDirectoryClient &) = delete;
    LdapDirectoryClient &operator=(const LdapDirectoryClient &) = delete;

    Outcome Connect(const Server &server, Observer &observer) override;
    Outcome ReadComputers(int pageSize, bool firstPageOnly, Observer &observer, std::vector<Computer> &computers) override;

private:
    Outcome open(Observer &observer);
    // Runs a libldap call that may block on the network; LDAP_TIMEOUT when
    // the server stayed silent for the timeout.
    int runBounded(const std::function<int()> &call, Observer &observer);
    Outcome startTls(Observer &observer);
    Outcome bind(const QByteArray &name, Observer &observer);
    Outcome bindAsUser(Observer &observer);
    Outcome readNamingContext(Observer &observer);
    // The DN of the entry whose user name is `user`, found without binding;
    // empty when there is not exactly one.
    Outcome findUserEntry(const QString &user, QByteArray &dn, Observer &observer);
    // Waits for the next answer to `messageID`; `message` is freed by the caller.
    // With `everything`, all messages that have arrived, as one chain.
    Outcome await(int messageID, ldapmsg **message, Observer &observer, bool everything = false);
    void readEntry(ldapmsg *entry, const QString &pathPrefix, Computer &computer);
    Outcome failure(int code, const char *during);
    // Waits for the answer to an operation that only succeeds or fails. A
    // server that answers with a failure gives `refusal` when one is named.
    Outcome awaitResult(int messageID, Observer &observer, const char *during, std::optional<Outcome::Kind> refusal = std::nullopt);
    void close();

    ldap *m_ld = nullptr;
    Server m_server;
    QByteArray m_namingContext;
    std::unique_ptr<ldap_conncb> m_connectCallback;
    std::atomic<int> m_socket {-1};
};
