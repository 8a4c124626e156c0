#pragma once

#include "engine/modEngineLink.h"
#include "enginehost/TransferorTask.h"

#include <QByteArray>
#include <QString>

// What a transferor does to reach one client: the steps that deliver the
// client service and its files and start it, and the steps that collect its
// log and status file afterwards and confirm that its secrets are gone. The
// ssh plan does it with OpenSSH's own programs; tests plan their own.
class DeliveryPlan
{
public:
    virtual ~DeliveryPlan();

    // `runFile` is the client's second file, with its token.
    virtual TransferorTask deliver(const modEngineLink::JobClient &client, const QByteArray &runFile) = 0;
    // How a client an earlier engine of the run was at work on stands.
    enum class State : quint8 {
        NotStarted, // the service never began its work there: deliver it
        AtWork, // an instance of the run holds the client's lock
        Ended, // the service has ended: collect what it left
        Unknown, // the answer was not understood
    };
    // Steps that ask the client, without changing anything on it.
    virtual TransferorTask ask(const modEngineLink::JobClient &client) = 0;
    virtual State stateOf(const TransferorOutcome &outcome) const = 0;
    // `logFile` and `statusFile` are where the collected files go; made new.
    virtual TransferorTask collect(const modEngineLink::JobClient &client, const QString &logFile, const QString &statusFile) = 0;
    // Why a task failed: a finding code (modFindings, 2000 on) and the
    // reason in the words of the program that failed.
    virtual int diagnose(const TransferorOutcome &outcome, QString &reason) const = 0;
    // Whether a collection outcome confirms that the client's secrets and
    // its copy of the service are gone.
    virtual bool cleanedUp(const TransferorOutcome &outcome) const = 0;
};
