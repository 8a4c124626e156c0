#include "shell/UrlOpener.h"

namespace {

class NoDesktopOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &) override { return false; }
};

UrlOpener *s_opener = nullptr;

} // namespace

UrlOpener &UrlOpener::current()
{
    static NoDesktopOpener fallback;
    return s_opener ? *s_opener : fallback;
}

void UrlOpener::install(UrlOpener *opener)
{
    s_opener = opener;
}
