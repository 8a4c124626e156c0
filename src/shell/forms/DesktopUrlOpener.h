#pragma once

#include "shell/UrlOpener.h"

// Opens documents with the desktop's own programs (QDesktopServices).
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
};
