#pragma once

#include <QString>

// The engine's message catalogue as the console reaches it: a message number
// in, the catalogue's text out. The texts belong to the engine; these are the
// ones our engine ships.
class DispatchWrapper
{
public:
    // Empty text for a number the catalogue does not know.
    QString MessageText(int number) const;
};
