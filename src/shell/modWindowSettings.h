#pragma once

#include <QList>
#include <QPair>
#include <QRect>
#include <QString>

#include <optional>

// The main window's placement, kept in the registry in twips as the Windows
// console always kept it, so that values written by one and read by the
// other mean the same window.
namespace modWindowSettings {

// The smallest main window in which the tree and the settings panel still fit.
constexpr int MinWidthTwips = 9495;
constexpr int MinHeightTwips = 6990;

// The first start's window: this share of the free desktop, but no larger
// than this (1600 by 1100 pixels at 96 DPI), so that it does not sprawl
// over a wide screen, and no smaller than the size at which every tab of the
// settings panel shows whole (1050 by 676 pixels), so that Save Settings is
// in sight on a 1280 by 800 screen. A smaller desktop gets all of itself.
constexpr int FirstStartPercent = 75;
constexpr int FirstStartMaxWidthTwips = 24000;
constexpr int FirstStartMaxHeightTwips = 16500;
constexpr int PanelFitsWidthTwips = 15750;
constexpr int PanelFitsHeightTwips = 10140;

// Twips per pixel at a logical resolution: 1440 / DPI, 15 at 96 DPI. A screen
// that reports no sensible resolution counts as 96 DPI.
int TwipsPerPixel(double logicalDpi);
int TwipsToPixels(int twips, int twipsPerPixel);
int PixelsToTwips(int pixels, int twipsPerPixel);

// The leading decimal number of a text, rounded to an integer, as a stored
// value reads: "1500" and " 1500 twips" are 1500, "12.5" is 12 (halves go to
// the even neighbour), "" and "wide" are 0. Values beyond the 32-bit range
// are held at its ends.
int LeadingNumber(const QString &text);

// The registry values of the placement, as read (missing values are empty).
struct SavedPlacement
{
    QString Maximized;
    QString PaneSize;
    QString Top;
    QString Left;
    QString Width;
    QString Height;
    QString Toolbar;
};

SavedPlacement ReadWindowSettings(const QString &keyPath);

// Where the window goes, in twips. Top and Left are empty when the saved
// value lies beyond the screen, so that the window keeps the place the
// desktop gave it.
struct Placement
{
    bool Maximized = false;
    int PaneSize = 0;
    std::optional<int> Top;
    std::optional<int> Left;
    int Width = 0;
    int Height = 0;
    // The toolbar shows unless it was hidden ("0") at exit.
    bool Toolbar = true;
};

// The saved values against the screen's size (twips). Width and height are
// held to the screen; the minimum size applies afterwards. Before any
// position or size was stored, the window is centred on the free part of the
// desktop (`availableTwips`) at the first start's size instead: read by the
// stored rules, nothing at all would mean the smallest window in the corner,
// where the panel scrolls and the welcome screen hides the menus.
Placement LoadWindowSettings(const SavedPlacement &saved, int screenWidthTwips, int screenHeightTwips, const QRect &availableTwips);

// What the window reports at exit, in twips.
struct WindowState
{
    int PaneSize = 0;
    bool Maximized = false;
    int Top = 0;
    int Left = 0;
    int Height = 0;
    int Width = 0;
    bool Toolbar = true;
};

// The values written at exit, in the order they are written: "PaneSize",
// "Maximized", "Top", "Left", "Height", "Width", then "Toolbar" ("1" shown,
// "0" hidden), which the Windows console never had.
QList<QPair<QString, QString>> ExitValues(const WindowState &state);

// Writes ExitValues in order. A value that cannot be written is skipped: the
// console is closing, and nothing the administrator could do would help.
void SaveWindowSettings(const QString &keyPath, const WindowState &state);

} // namespace modWindowSettings
