#include "import/LdapDirectoryClient.h"

#include "import/modImportADS.h"

#include <QElapsedTimer>

#include <ldap.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr int kSliceMilliseconds = 100;
constexpr ber_len_t kMaxEntryUUIDBytes = 64;

struct MessageFree
{
    void operator()(LDAPMessage *message) const { ldap_msgfree(message); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;

struct ControlFree
{
    void operator()(LDAPControl *control) const { ldap_control_free(control); }
};

QString diagnosticOf(LDAP *ld)
{
    char *text = nullptr;
    QString diagnostic;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) == LDAP_OPT_SUCCESS && text) {
        diagnostic = QString::fromUtf8(text);
        ldap_memfree(text);
    }
    return diagnostic;
}

// Filter values of a user name: the characters RFC 4515 reserves, escaped.
QByteArray escapeFilterValue(const QByteArray &value)
{
    QByteArray escaped;
    for (const char c : value) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0')
            escaped += '\\' + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        else
            escaped += c;
    }
    return escaped;
}

// The first value of an attribute, or empty text.
QString firstValue(LDAP *ld, LDAPMessage *entry, const char *attribute)
{
    berval **values = ldap_get_values_len(ld, entry, attribute);
    QString text;
    if (values && values[0])
        text = QString::fromUtf8(values[0]->bv_val, qsizetype(values[0]->bv_len));
    ldap_value_free_len(values);
    return text;
}

// The socket of the connection being opened, as soon as it is connected.
int rememberSocket(LDAP *, Sockbuf *sb, LDAPURLDesc *, sockaddr *, ldap_conncb *callback)
{
    ber_socket_t fd = -1;
    ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &fd);
    static_cast<std::atomic<int> *>(callback->lc_arg)->store(int(fd));
    return 0;
}

void forgetSocket(LDAP *, Sockbuf *, ldap_conncb *)
{ }

bool looksLikeDN(const QString &user)
{
    LDAPDN dn = nullptr;
    const QByteArray utf8 = user.toUtf8();
    const bool parsed = user.contains(QLatin1Char('=')) && ldap_str2dn(utf8.constData(), &dn, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS;
    ldap_dnfree(dn);
    return parsed;
}

} // namespace

std::unique_ptr<DirectoryClient> DirectoryClient::Create()
{
    return std::make_unique<LdapDirectoryClient>();
}

LdapDirectoryClient::~LdapDirectoryClient()
{
    close();
}

void LdapDirectoryClient::close()
{
    if (m_ld)
        ldap_unbind_ext_s(m_ld, nullptr, nullptr);
    m_ld = nullptr;
    m_connectCallback.reset();
}

DirectoryClient::Outcome LdapDirectoryClient::failure(int code, const char *during)
{
    Outcome outcome;
    outcome.Number = code;
    const QString diagnostic = diagnosticOf(m_ld);
    outcome.Text = QString::fromUtf8(ldap_err2string(code));
    if (!diagnostic.isEmpty())
        outcome.Text += QStringLiteral(" (%1)").arg(diagnostic);
    outcome.Text += QStringLiteral(" while %1.").arg(QLatin1String(during));
    const bool tls = m_server.Mode != Security::Plain;
    // libldap reports a certificate it refuses as a failed connection; its
    // diagnostic names TLS, and a plain connection never gets that far.
    if (tls && (code == LDAP_CONNECT_ERROR || code == LDAP_SERVER_DOWN)
        && (diagnostic.contains(QLatin1String("TLS"), Qt::CaseInsensitive)
            || diagnostic.contains(QLatin1String("cert"), Qt::CaseInsensitive)))
        outcome.Result = Outcome::Certificate;
    else if (code == LDAP_INVALID_CREDENTIALS || code == LDAP_INAPPROPRIATE_AUTH)
        outcome.Result = Outcome::BadCredentials;
    else if (code == LDAP_SERVER_DOWN || code == LDAP_TIMEOUT || code == LDAP_CONNECT_ERROR || code == LDAP_UNAVAILABLE)
        outcome.Result = Outcome::Unreachable;
    else
        outcome.Result = Outcome::Other;
    return outcome;
}

DirectoryClient::Outcome LdapDirectoryClient::await(int messageID, ldapmsg **message, Observer &observer, bool everything)
{
    *message = nullptr;
    QElapsedTimer silence;
    silence.start();
    for (;;) {
        timeval slice {0, kSliceMilliseconds * 1000};
        LDAPMessage *answer = nullptr;
        const int type = ldap_result(m_ld, messageID, everything ? LDAP_MSG_RECEIVED : LDAP_MSG_ONE, &slice, &answer);
        if (type > 0) {
            *message = answer;
            return Outcome();
        }
        if (type < 0) {
            int code = LDAP_OTHER;
            ldap_get_option(m_ld, LDAP_OPT_RESULT_CODE, &code);
            return failure(code, "waiting for the server");
        }
        if (silence.elapsed() >= qint64(m_server.TimeoutSeconds) * 1000) {
            ldap_abandon_ext(m_ld, messageID, nullptr, nullptr);
            return failure(LDAP_TIMEOUT, "waiting for the server");
        }
        observer.Waiting();
    }
}

int LdapDirectoryClient::runBounded(const std::function<int()> &call, Observer &observer)
{
    // libldap does its TLS handshake with blocking reads, so a server that
    // accepts the connection and then stays silent would hold the caller
    // for good. The call runs beside the window instead; when the server has
    // been silent too long its socket is shut, which ends the read.
    std::atomic<bool> done {false};
    int code = LDAP_OTHER;
    std::thread worker([&] {
        code = call();
        done = true;
    });
    QElapsedTimer silence;
    silence.start();
    bool shut = false;
    while (!done) {
        if (!shut && silence.elapsed() >= qint64(m_server.TimeoutSeconds) * 1000) {
            const int fd = m_socket.load();
            if (fd >= 0) {
                ::shutdown(fd, SHUT_RDWR);
                shut = true;
            }
        }
        observer.Waiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    return shut ? LDAP_TIMEOUT : code;
}

DirectoryClient::Outcome LdapDirectoryClient::open(Observer &observer)
{
    close();
    const bool ldaps = m_server.Mode == Security::LDAPS;
    const int port = m_server.Port > 0 ? m_server.Port : (ldaps ? LDAPS_PORT : LDAP_PORT);
    const QByteArray uri
        = (ldaps ? QByteArrayLiteral("ldaps://") : QByteArrayLiteral("ldap://")) + m_server.Name.toUtf8() + ':' + QByteArray::number(port);
    int code = ldap_initialize(&m_ld, uri.constData());
    if (code != LDAP_SUCCESS)
        return failure(code, "opening the connection");

    const int version = LDAP_VERSION3;
    ldap_set_option(m_ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(m_ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval timeout {m_server.TimeoutSeconds, 0};
    ldap_set_option(m_ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(m_ld, LDAP_OPT_TIMEOUT, &timeout);
    if (m_server.Mode != Security::Plain) {
        // Never anything but a checked certificate: a connection that cannot
        // prove who answers would carry the password to whoever it is.
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        ldap_set_option(m_ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        if (!m_server.CAFile.isEmpty()) {
            const QByteArray caFile = m_server.CAFile.toLocal8Bit();
            ldap_set_option(m_ld, LDAP_OPT_X_TLS_CACERTFILE, caFile.constData());
        }
        const int server = 0;
        code = ldap_set_option(m_ld, LDAP_OPT_X_TLS_NEWCTX, &server);
        if (code != LDAP_OPT_SUCCESS)
            return failure(LDAP_CONNECT_ERROR, "reading the certificate authority file");
    }
    m_socket = -1;
    m_connectCallback = std::make_unique<ldap_conncb>();
    m_connectCallback->lc_add = &rememberSocket;
    m_connectCallback->lc_del = &forgetSocket;
    m_connectCallback->lc_arg = &m_socket;
    ldap_set_option(m_ld, LDAP_OPT_CONNECT_CB, m_connectCallback.get());
    LDAP *ld = m_ld;
    code = runBounded([ld] { return ldap_connect(ld); }, observer);
    if (code != LDAP_SUCCESS) {
        Outcome refused = failure(code, "connecting");
        // Connected, and then no TLS session with a certificate that checks
        // out: libldap names no reason for LDAPS, but the handshake is all
        // that happened on the socket.
        if (ldaps && code != LDAP_TIMEOUT && m_socket.load() >= 0)
            refused.Result = Outcome::Certificate;
        return refused;
    }
    if (m_server.Mode == Security::StartTLS)
        return startTls(observer);
    return Outcome();
}

DirectoryClient::Outcome LdapDirectoryClient::startTls(Observer &observer)
{
    int messageID = 0;
    int code = ldap_extended_operation(m_ld, LDAP_EXOP_START_TLS, nullptr, nullptr, nullptr, &messageID);
    if (code != LDAP_SUCCESS)
        return failure(code, "asking for TLS");
    if (Outcome outcome = awaitResult(messageID, observer, "asking for TLS", Outcome::TlsRefused); !outcome.ok())
        return outcome;
    LDAP *ld = m_ld;
    code = runBounded([ld] { return ldap_install_tls(ld); }, observer);
    if (code == LDAP_TIMEOUT)
        return failure(code, "setting up TLS");
    if (code != LDAP_SUCCESS) {
        Outcome refused = failure(code, "setting up TLS");
        // After a granted StartTLS the only way the handshake fails is the certificate.
        refused.Result = Outcome::Certificate;
        return refused;
    }
    return Outcome();
}

DirectoryClient::Outcome LdapDirectoryClient::bind(const QByteArray &name, Observer &observer)
{
    QByteArray password = m_server.Password.toUtf8();
    berval credentials {ber_len_t(password.size()), password.data()};
    int messageID = 0;
    int code = ldap_sasl_bind(m_ld, name.constData(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, &messageID);
    password.fill('\0');
    if (code != LDAP_SUCCESS)
        return failure(code, "signing in");
    return awaitResult(messageID, observer, "signing in");
}

DirectoryClient::Outcome LdapDirectoryClient::awaitResult(
    int messageID, Observer &observer, const char *during, std::optional<Outcome::Kind> refusal)
{
    LDAPMessage *answer = nullptr;
    Outcome outcome = await(messageID, &answer, observer);
    if (!outcome.ok())
        return outcome;
    int result = LDAP_OTHER;
    const int code = ldap_parse_result(m_ld, answer, &result, nullptr, nullptr, nullptr, nullptr, 1);
    if (code != LDAP_SUCCESS)
        return failure(code, during);
    if (result != LDAP_SUCCESS) {
        Outcome refused = failure(result, during);
        if (refusal)
            refused.Result = *refusal;
        return refused;
    }
    return Outcome();
}

DirectoryClient::Outcome LdapDirectoryClient::findUserEntry(const QString &user, QByteArray &dn, Observer &observer)
{
    dn.clear();
    const QByteArray value = escapeFilterValue(user.toUtf8());
    const QByteArray filter = "(|(sAMAccountName=" + value + ")(uid=" + value + ")(cn=" + value + "))";
    char noAttributes[] = LDAP_NO_ATTRS;
    char *attributes[] = {noAttributes, nullptr};
    int messageID = 0;
    const int code = ldap_search_ext(
        m_ld, m_namingContext.constData(), LDAP_SCOPE_SUBTREE, filter.constData(), attributes, 0, nullptr, nullptr, nullptr, 2, &messageID);
    if (code != LDAP_SUCCESS)
        return failure(code, "looking the user up");
    int found = 0;
    for (;;) {
        LDAPMessage *raw = nullptr;
        Outcome outcome = await(messageID, &raw, observer);
        if (!outcome.ok())
            return outcome;
        MessagePtr answer(raw);
        if (ldap_msgtype(raw) == LDAP_RES_SEARCH_ENTRY) {
            ++found;
            char *entryDN = ldap_get_dn(m_ld, raw);
            if (entryDN)
                dn = entryDN;
            ldap_memfree(entryDN);
        } else if (ldap_msgtype(raw) == LDAP_RES_SEARCH_RESULT) {
            break;
        }
    }
    // Two entries of one name: binding to either would be a guess.
    if (found != 1)
        dn.clear();
    return Outcome();
}

DirectoryClient::Outcome LdapDirectoryClient::bindAsUser(Observer &observer)
{
    if (looksLikeDN(m_server.User))
        return bind(m_server.User.toUtf8(), observer);

    Outcome outcome = bind((m_server.Domain + QLatin1Char('\\') + m_server.User).toUtf8(), observer);
    // A directory that is not a Windows one refuses "domain\user" as a name
    // that is no DN; the user's entry tells the DN to bind with instead.
    if (outcome.Result != Outcome::Other || outcome.Number != LDAP_INVALID_DN_SYNTAX)
        return outcome;
    outcome = readNamingContext(observer);
    if (!outcome.ok())
        return outcome;
    QByteArray dn;
    outcome = findUserEntry(m_server.User, dn, observer);
    if (!outcome.ok())
        return outcome;
    if (dn.isEmpty())
        return failure(LDAP_INVALID_CREDENTIALS, "looking the user up");
    return bind(dn, observer);
}

DirectoryClient::Outcome LdapDirectoryClient::readNamingContext(Observer &observer)
{
    char defaultContext[] = "defaultNamingContext";
    char contexts[] = "namingContexts";
    char *attributes[] = {defaultContext, contexts, nullptr};
    int messageID = 0;
    const int code = ldap_search_ext(m_ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0, nullptr, nullptr, nullptr, 1, &messageID);
    if (code != LDAP_SUCCESS)
        return failure(code, "reading the server's naming context");
    QString context;
    for (;;) {
        LDAPMessage *raw = nullptr;
        Outcome outcome = await(messageID, &raw, observer);
        if (!outcome.ok())
            return outcome;
        MessagePtr answer(raw);
        if (ldap_msgtype(raw) == LDAP_RES_SEARCH_ENTRY) {
            context = firstValue(m_ld, raw, defaultContext);
            if (context.isEmpty())
                context = firstValue(m_ld, raw, contexts);
        } else if (ldap_msgtype(raw) == LDAP_RES_SEARCH_RESULT) {
            break;
        }
    }
    if (context.isEmpty())
        return failure(LDAP_NO_SUCH_OBJECT, "reading the server's naming context");
    m_namingContext = context.toUtf8();
    return Outcome();
}

DirectoryClient::Outcome LdapDirectoryClient::Connect(const Server &server, Observer &observer)
{
    m_server = server;
    m_namingContext.clear();
    Outcome outcome = open(observer);
    if (outcome.ok())
        outcome = bindAsUser(observer);
    m_server.Password.fill(QLatin1Char('\0'));
    m_server.Password.clear();
    if (outcome.ok() && m_namingContext.isEmpty())
        outcome = readNamingContext(observer);
    if (!outcome.ok())
        close();
    return outcome;
}

void LdapDirectoryClient::readEntry(ldapmsg *entry, const QString &pathPrefix, Computer &computer)
{
    // One pass over the entry's attributes, as they come; "name" is taken
    // before "cn" whatever their order.
    BerElement *ber = nullptr;
    berval dn {0, nullptr};
    if (ldap_get_dn_ber(m_ld, entry, &ber, &dn) != LDAP_SUCCESS) {
        ber_free(ber, 0);
        return;
    }
    computer.ADsPath = pathPrefix + QString::fromUtf8(dn.bv_val, qsizetype(dn.bv_len));
    QString cn;
    QString guid;
    QString uuid;
    berval attribute {0, nullptr};
    berval *values = nullptr;
    while (ldap_get_attribute_ber(m_ld, entry, ber, &attribute, &values) == LDAP_SUCCESS && attribute.bv_val) {
        const QLatin1String type(attribute.bv_val, qsizetype(attribute.bv_len));
        if (values && values[0].bv_val) {
            const QString value = QString::fromUtf8(values[0].bv_val, qsizetype(values[0].bv_len));
            if (type.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0)
                computer.Name = value;
            else if (type.compare(QLatin1String("cn"), Qt::CaseInsensitive) == 0)
                cn = value;
            else if (type.compare(QLatin1String("dNSHostName"), Qt::CaseInsensitive) == 0)
                computer.DNSName = value;
            else if (type.compare(QLatin1String("objectGUID"), Qt::CaseInsensitive) == 0)
                guid = modImportADS::GuidText(QByteArray(values[0].bv_val, qsizetype(values[0].bv_len)));
            // A UUID is 36 characters; anything far longer is no identity to keep.
            else if (type.compare(QLatin1String("entryUUID"), Qt::CaseInsensitive) == 0 && values[0].bv_len <= kMaxEntryUUIDBytes)
                uuid = value.toLower();
        }
        ber_memfree(values);
        values = nullptr;
    }
    ber_free(ber, 0);
    if (computer.Name.isEmpty())
        computer.Name = cn;
    // A directory that has both is an OpenLDAP holding Windows data: the
    // GUID is the one that came with the computer.
    computer.DirectoryID = guid.isEmpty() ? uuid : guid;
}

DirectoryClient::Outcome LdapDirectoryClient::ReadComputers(
    int pageSize, bool firstPageOnly, Observer &observer, std::vector<Computer> &computers)
{
    if (!m_ld)
        return failure(LDAP_SERVER_DOWN, "reading computers");
    char name[] = "name";
    char cn[] = "cn";
    char dnsHostName[] = "dNSHostName";
    char objectGUID[] = "objectGUID";
    // Operational: a server sends it only when it is asked for by name.
    char entryUUID[] = "entryUUID";
    char *attributes[] = {name, cn, dnsHostName, objectGUID, entryUUID, nullptr};
    const QString pathPrefix = QStringLiteral("LDAP://") + m_server.Name + QLatin1Char('/');

    // Once rows have come, a server that goes away has cut the read short.
    const auto lost = [](Outcome outcome) {
        if (outcome.Result == Outcome::Unreachable)
            outcome.Result = Outcome::ConnectionLost;
        return outcome;
    };
    berval cookie {0, nullptr};
    int rows = 0;
    for (;;) {
        LDAPControl *rawPage = nullptr;
        int code = ldap_create_page_control(m_ld, ber_int_t(pageSize), cookie.bv_val ? &cookie : nullptr, 1, &rawPage);
        ber_memfree(cookie.bv_val);
        cookie = {0, nullptr};
        if (code != LDAP_SUCCESS)
            return failure(code, "reading computers");
        std::unique_ptr<LDAPControl, ControlFree> page(rawPage);
        LDAPControl *serverControls[] = {rawPage, nullptr};
        int messageID = 0;
        code = ldap_search_ext(m_ld, m_namingContext.constData(), LDAP_SCOPE_SUBTREE, "(objectClass=computer)", attributes, 0,
            serverControls, nullptr, nullptr, LDAP_NO_LIMIT, &messageID);
        if (code != LDAP_SUCCESS)
            return lost(failure(code, "reading computers"));

        bool pageDone = false;
        while (!pageDone) {
            LDAPMessage *raw = nullptr;
            // Everything that has arrived at once: a page comes in far fewer
            // reads than rows.
            Outcome outcome = await(messageID, &raw, observer, true);
            if (!outcome.ok())
                return lost(outcome);
            MessagePtr chain(raw);
            for (LDAPMessage *message = ldap_first_message(m_ld, raw); message && !pageDone; message = ldap_next_message(m_ld, message)) {
                const int type = ldap_msgtype(message);
                if (type == LDAP_RES_SEARCH_ENTRY) {
                    Computer computer;
                    readEntry(message, pathPrefix, computer);
                    computers.push_back(std::move(computer));
                    ++rows;
                    if (rows % RowStep == 0 && !observer.RowsRead(rows)) {
                        ldap_abandon_ext(m_ld, messageID, nullptr, nullptr);
                        Outcome cancelled;
                        cancelled.Result = Outcome::Cancelled;
                        return cancelled;
                    }
                } else if (type == LDAP_RES_SEARCH_RESULT) {
                    int result = LDAP_OTHER;
                    LDAPControl **controls = nullptr;
                    code = ldap_parse_result(m_ld, message, &result, nullptr, nullptr, nullptr, &controls, 0);
                    if (code != LDAP_SUCCESS)
                        return failure(code, "reading computers");
                    // A size or time limit ends the search with rows missing:
                    // that is a failure, never a complete list.
                    if (result != LDAP_SUCCESS) {
                        ldap_controls_free(controls);
                        Outcome cut = lost(failure(result, "reading computers"));
                        if (result == LDAP_SIZELIMIT_EXCEEDED || result == LDAP_TIMELIMIT_EXCEEDED || result == LDAP_ADMINLIMIT_EXCEEDED)
                            cut.Result = Outcome::Limit;
                        return cut;
                    }
                    LDAPControl *response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr);
                    ber_int_t estimate = 0;
                    if (response)
                        ldap_parse_pageresponse_control(m_ld, response, &estimate, &cookie);
                    ldap_controls_free(controls);
                    pageDone = true;
                }
            }
        }
        if (firstPageOnly || cookie.bv_len == 0) {
            ber_memfree(cookie.bv_val);
            return Outcome();
        }
    }
}
