#pragma once

#include <QObject>

#include <memory>

class QLocalServer;
class QLockFile;

// The running console's claim on its registry store: the lock file that
// tells a second console it is not the first, and the local server through
// which that second console asks this one to come to the front.
class ConsoleInstance final : public QObject
{
    Q_OBJECT

public:
    // Listens at `serverName`; `lock` (modStartup::PrevInstance's claim) is
    // held for the instance's lifetime.
    ConsoleInstance(std::unique_ptr<QLockFile> lock, const QString &serverName, QObject *parent = nullptr);
    ~ConsoleInstance() override;

    // Asks the console listening at `serverName` to come to the front.
    // False when none answers. Needs an application object, not a window.
    static bool RequestShow(const QString &serverName);

Q_SIGNALS:
    // A second console was started on the same store and has ended.
    void showRequested();

private:
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
