#pragma once

#include "shell/UrlOpener.h"

#include <QList>

// Installed for its lifetime: records what the console would have handed to the desktop.
class RecordingOpener final : public UrlOpener
{
public:
    RecordingOpener() { UrlOpener::install(this); }
    ~RecordingOpener() override { UrlOpener::install(nullptr); }
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};
