#pragma once

#include "common/TreeImage.h"

#include <QString>

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

} // namespace ClientStatus
