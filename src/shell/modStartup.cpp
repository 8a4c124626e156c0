#include "shell/modStartup.h"

#include "common/AppInfo.h"
#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "common/modRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace modStartup {

namespace {

const QString kWelcomeScreen = QStringLiteral("WelcomeScreen");

} // namespace

bool PrepareRegistry()
{
    return modConsoleKey::Prepare();
}

QString InstanceLockPath()
{
    return QFileInfo(modRegistry::DefaultStorePath()).absoluteFilePath() + QStringLiteral(".lock");
}

QString InstanceServerName()
{
    return QFileInfo(modRegistry::DefaultStorePath()).absoluteFilePath() + QStringLiteral(".socket");
}

bool PrevInstance(std::unique_ptr<QLockFile> &claim)
{
    const QString path = InstanceLockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());

    auto lock = std::make_unique<QLockFile>(path);
    // The console runs for hours: its lock must never go stale by age, only
    // when the process that wrote it is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        claim = std::move(lock);
        return false;
    }
    return lock->error() == QLockFile::LockFailedError;
}

QString MainCaption(const QString &jobName)
{
    return AppInfo::WindowTitle() + QStringLiteral(": ") + jobName;
}

bool WelcomeScreenWanted()
{
    return ConsoleConfig().Text(ConsoleConfig::WelcomeScreen) != QLatin1String("1");
}

void SaveWelcomeScreen(bool dontShowAgain)
{
    modRegistry::SaveSettingString(AppState::Get().AppKeyPath, kWelcomeScreen, dontShowAgain ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace modStartup
