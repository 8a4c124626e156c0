#pragma once

#include "common/TreeImage.h"

#include <QString>

#include <array>

// The status codes the engine reports per client, with the text the console
// shows for each and the tree image of a computer in that state. Text and
// image come from one lookup, so the progress log and the tree always agree
// on what a code is.
namespace ClientStatus {

struct Entry
{
    QString Text;
    TreeImage::Image Image = TreeImage::StatusUnknown;
};

// What the console shows for `code`: a known code's text and image, or
// "Unspecified status = " + code with the unknown image.
Entry Lookup(const QString &code);

inline QString Text(const QString &code)
{
    return Lookup(code).Text;
}

inline int Image(const QString &code)
{
    return Lookup(code).Image;
}

// Where a client stands in the run, as the progress pane counts it and a
// group node sums up what lies below it.
enum class Category : int {
    NotStarted, // no status yet, "ID", "NP"
    InProgress, // everything between taken and ended
    Successful, // "XS"
    Warnings, // "XW"
    Errors, // "XE"
    Canceled, // "XC"
    Aborted, // "XA"
};
constexpr int CategoryCount = 7;

Category CategoryOf(const QString &code);

// Whether a code can only have come from the client itself ("CL", "PS",
// ...), as opposed to the engine's own bookkeeping: before it takes a
// client ("ID", "NP"), its loading, unloading and aborting steps, "AP" and
// the ends ("X..."). A computer with such a code in a run was seen alive.
bool ReportedByClient(const QString &code);

// The categories from the worst state to the best: a group shows the first
// one any computer below it is in. A client still running outranks one not
// started, and both outrank a success, so a group is green only when all of
// it is done.
inline constexpr std::array<Category, CategoryCount> WorstFirst = {Category::Errors, Category::Aborted, Category::Canceled,
    Category::Warnings, Category::InProgress, Category::NotStarted, Category::Successful};

// A group's image for a category; -1 for NotStarted, which keeps the
// group's folder images.
int GroupImage(Category category);

} // namespace ClientStatus
