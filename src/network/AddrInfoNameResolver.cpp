#include "network/AddrInfoNameResolver.h"

#include "network/modNetwork.h"

#include <mutex>

#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

namespace {

addrinfo ipv4Hints()
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    // One entry per address rather than one per socket type.
    hints.ai_socktype = SOCK_DGRAM;
    return hints;
}

QString firstAddress(const addrinfo *found)
{
    if (!found)
        return QString();
    return modNetwork::DottedText(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
}

// One getaddrinfo_a request. glibc's thread writes into it until the lookup
// ends, whoever has given up on it meanwhile, so the notification holds a
// reference of its own and drops it last.
struct Request
{
    QByteArray name;
    addrinfo hints = ipv4Hints();
    gaicb block {};
    std::mutex mutex;
    NameResolver::Done done;
};
using RequestRef = std::shared_ptr<Request>;

void finished(sigval value)
{
    const std::unique_ptr<RequestRef> held(static_cast<RequestRef *>(value.sival_ptr));
    Request &request = **held;
    const QString address = gai_error(&request.block) == 0 ? firstAddress(request.block.ar_result) : QString();
    if (request.block.ar_result)
        freeaddrinfo(request.block.ar_result);
    const std::lock_guard lock(request.mutex);
    if (request.done)
        std::exchange(request.done, nullptr)(address);
}

class PendingLookup final : public NameResolver::Lookup
{
public:
    PendingLookup(RequestRef request, RequestRef *held)
        : m_request(std::move(request))
        , m_held(held)
    { }

    ~PendingLookup() override
    {
        {
            const std::lock_guard lock(m_request->mutex);
            m_request->done = nullptr;
        }
        // A request no thread has taken up yet is removed and never
        // notified; one under way finishes on its own.
        if (gai_cancel(&m_request->block) == EAI_CANCELED)
            delete m_held;
    }

private:
    RequestRef m_request;
    RequestRef *m_held;
};

} // namespace

QString AddrInfoNameResolver::Resolve(const QString &name) const
{
    // An empty node would make getaddrinfo answer with this machine's own
    // address, which is never what a blank DC field means.
    if (name.isEmpty())
        return QString();
    const addrinfo hints = ipv4Hints();
    addrinfo *found = nullptr;
    if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return QString();
    const QString text = firstAddress(found);
    freeaddrinfo(found);
    return text;
}

std::unique_ptr<NameResolver::Lookup> AddrInfoNameResolver::Start(const QString &name, Done done) const
{
    // Nothing to ask a name server: no thread needed.
    if (name.isEmpty() || modNetwork::IsDottedAddress(name)) {
        done(Resolve(name));
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->name = name.toUtf8();
    request->done = std::move(done);
    request->block.ar_name = request->name.constData();
    request->block.ar_request = &request->hints;
    auto *held = new RequestRef(request);
    sigevent notification {};
    notification.sigev_notify = SIGEV_THREAD;
    notification.sigev_notify_function = &finished;
    notification.sigev_value.sival_ptr = held;
    gaicb *list[] = {&request->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, &notification) != 0) {
        delete held;
        std::exchange(request->done, nullptr)(QString());
        return nullptr;
    }
    return std::make_unique<PendingLookup>(std::move(request), held);
}
