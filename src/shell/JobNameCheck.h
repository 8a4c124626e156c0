#pragma once

#include <QString>

// The rules of a migration job name: it names the results folder under the
// log root and the migration state file in it, so it must be a file name,
// and a folder that already holds results is not taken over.
namespace JobNameCheck {

enum class Verdict {
    Accepted,
    BadName,
    ResultsExist,
};

Verdict Check(const QString &name);

// Check, with the message of a refusal shown through the presenter.
bool Accept(const QString &name);

} // namespace JobNameCheck
