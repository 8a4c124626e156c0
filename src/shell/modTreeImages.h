#pragma once

#include "common/TreeImage.h"

#include <QString>

namespace modTreeImages {

// The image of a client status code ("NP", "L3", "XS", ...). The ranges
// "L0" to "L9", "A0" to "A9" and "U0" to "U9" are compared as text, the way
// the status texts are chosen, so that image and text never disagree.
int StatusImage(const QString &code);

} // namespace modTreeImages
