#pragma once

#include <QString>
#include <QStringList>

// A small network of named namespaces for tests with real clients: one for
// the console's side ("vo-<pid>-e") with a bridge, and one per client
// ("vo-<pid>-c<n>") joined to it by a veth pair. Every interface lives inside
// the lab, so nothing a test sends can reach this machine's own network.
// Leftovers of a lab whose process is gone are removed when a lab is made;
// the lab removes its own when it goes, also after a failed test.
class NamespaceLab
{
public:
    // The engine side's address; client n (from 1) has ClientAddress(n).
    static constexpr const char *EngineAddress = "10.213.0.1";
    static QString ClientAddress(int n);

    explicit NamespaceLab(int clients);
    ~NamespaceLab();
    NamespaceLab(const NamespaceLab &) = delete;
    NamespaceLab &operator=(const NamespaceLab &) = delete;

    // False, with the reason, when the lab could not be made here (not
    // root, no `ip`): the test skips with it.
    bool ready() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

    QString engineNamespace() const { return m_prefix + QStringLiteral("e"); }
    QString clientNamespace(int n) const { return m_prefix + QStringLiteral("c") + QString::number(n); }
    // The command prefix that runs a program inside a namespace.
    static QStringList exec(const QString &ns) { return {QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"), ns}; }

    // The client's link goes down (a cable pulled) or up again.
    bool setLinkUp(int n, bool up) const;
    // Every process inside the client's namespace is killed (a computer
    // switched off).
    void killClient(int n) const;

    // Removes the namespaces of labs whose process is gone.
    static void removeLeftovers();

private:
    static bool run(const QStringList &command, QString *output = nullptr);

    QString m_prefix;
    int m_clients = 0;
    QString m_problem;
};
