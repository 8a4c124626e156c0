#include "shell/modWindowSettings.h"

#include "common/modRegistry.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace modWindowSettings {

int TwipsPerPixel(double logicalDpi)
{
    if (!(logicalDpi >= 1.0) || !std::isfinite(logicalDpi))
        logicalDpi = 96.0;
    const long twips = std::lround(1440.0 / logicalDpi);
    return twips < 1 ? 1 : static_cast<int>(twips);
}

int TwipsToPixels(int twips, int twipsPerPixel)
{
    if (twipsPerPixel < 1)
        twipsPerPixel = 1;
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

int PixelsToTwips(int pixels, int twipsPerPixel)
{
    const qint64 twips = static_cast<qint64>(pixels) * twipsPerPixel;
    if (twips > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (twips < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(twips);
}

int LeadingNumber(const QString &text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || std::isnan(value))
        return 0;
    // Rounded as the registry's numbers always were: halves to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

SavedPlacement ReadWindowSettings(const QString &keyPath)
{
    SavedPlacement saved;
    saved.Maximized = modRegistry::GetSettingString(keyPath, QStringLiteral("Maximized"));
    saved.PaneSize = modRegistry::GetSettingString(keyPath, QStringLiteral("PaneSize"));
    saved.Top = modRegistry::GetSettingString(keyPath, QStringLiteral("Top"));
    saved.Left = modRegistry::GetSettingString(keyPath, QStringLiteral("Left"));
    saved.Width = modRegistry::GetSettingString(keyPath, QStringLiteral("Width"));
    saved.Height = modRegistry::GetSettingString(keyPath, QStringLiteral("Height"));
    saved.Toolbar = modRegistry::GetSettingString(keyPath, QStringLiteral("Toolbar"));
    return saved;
}

Placement LoadWindowSettings(const SavedPlacement &saved, int screenWidthTwips, int screenHeightTwips, const QRect &availableTwips)
{
    Placement placement;
    placement.Maximized = LeadingNumber(saved.Maximized) == 1;
    placement.PaneSize = LeadingNumber(saved.PaneSize);
    placement.Toolbar = saved.Toolbar.isEmpty() || LeadingNumber(saved.Toolbar) != 0;

    if (saved.Top.isEmpty() && saved.Left.isEmpty() && saved.Width.isEmpty() && saved.Height.isEmpty()) {
        const auto size = [](int available, int fits, int max, int min) {
            return std::max(min, std::min(available, std::clamp(available / 100 * FirstStartPercent, fits, max)));
        };
        placement.Width = size(availableTwips.width(), PanelFitsWidthTwips, FirstStartMaxWidthTwips, MinWidthTwips);
        placement.Height = size(availableTwips.height(), PanelFitsHeightTwips, FirstStartMaxHeightTwips, MinHeightTwips);
        // On a desktop smaller than the minimum the title bar stays reachable.
        placement.Left = std::max(availableTwips.x(), availableTwips.x() + (availableTwips.width() - placement.Width) / 2);
        placement.Top = std::max(availableTwips.y(), availableTwips.y() + (availableTwips.height() - placement.Height) / 2);
        return placement;
    }

    const int top = LeadingNumber(saved.Top);
    if (screenHeightTwips >= top)
        placement.Top = top;
    const int left = LeadingNumber(saved.Left);
    if (screenWidthTwips >= left)
        placement.Left = left;

    const int width = LeadingNumber(saved.Width);
    placement.Width = width > screenWidthTwips ? screenWidthTwips : width;
    const int height = LeadingNumber(saved.Height);
    placement.Height = height > screenHeightTwips ? screenHeightTwips : height;

    // The size guard: never smaller than the minimum, whatever was saved.
    if (placement.Width < MinWidthTwips)
        placement.Width = MinWidthTwips;
    if (placement.Height < MinHeightTwips)
        placement.Height = MinHeightTwips;
    return placement;
}

QList<QPair<QString, QString>> ExitValues(const WindowState &state)
{
    return {
        {QStringLiteral("PaneSize"), QString::number(state.PaneSize)},
        {QStringLiteral("Maximized"), state.Maximized ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("Top"), QString::number(state.Top)},
        {QStringLiteral("Left"), QString::number(state.Left)},
        {QStringLiteral("Height"), QString::number(state.Height)},
        {QStringLiteral("Width"), QString::number(state.Width)},
        {QStringLiteral("Toolbar"), state.Toolbar ? QStringLiteral("1") : QStringLiteral("0")},
    };
}

void SaveWindowSettings(const QString &keyPath, const WindowState &state)
{
    const QList<QPair<QString, QString>> values = ExitValues(state);
    for (const auto &value : values)
        modRegistry::SaveSettingString(keyPath, value.first, value.second);
}

} // namespace modWindowSettings
