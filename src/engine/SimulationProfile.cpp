#include "engine/SimulationProfile.h"

#include "common/modFileRead.h"

namespace {

constexpr qint64 kMaxProfileBytes = 1 << 20;

bool matchFrom(const QString &pattern, qsizetype p, const QString &name, qsizetype n)
{
    // Iterative glob with one backtracking point: linear enough for names.
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') || pattern.at(p).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

bool anyMatches(const QStringList &patterns, const QString &name)
{
    for (const QString &pattern : patterns) {
        if (SimulationProfile::Matches(pattern, name))
            return true;
    }
    return false;
}

} // namespace

bool SimulationProfile::Matches(const QString &pattern, const QString &name)
{
    return matchFrom(pattern, 0, name, 0);
}

SimulationProfile::Outcome SimulationProfile::OutcomeFor(const QString &computerName) const
{
    if (anyMatches(SilentPatterns, computerName))
        return Outcome::Silent;
    if (anyMatches(CorruptPatterns, computerName))
        return Outcome::Corrupt;
    if (anyMatches(ErrorPatterns, computerName))
        return Outcome::Errors;
    if (anyMatches(WarningPatterns, computerName))
        return Outcome::Warnings;
    return Outcome::Success;
}

bool SimulationProfile::Load(const QString &path, QString *problem)
{
    QString reason;
    const std::optional<QByteArray> bytes = modFileRead::ReadAll(path, kMaxProfileBytes, reason);
    if (!bytes) {
        if (problem)
            *problem = QStringLiteral("The simulation profile \"%1\" could not be read: %2").arg(path, reason);
        return false;
    }
    if (!Parse(QString::fromUtf8(*bytes), &reason)) {
        if (problem)
            *problem = QStringLiteral("The simulation profile \"%1\", %2").arg(path, reason);
        return false;
    }
    return true;
}

bool SimulationProfile::Parse(const QString &text, QString *problem)
{
    SimulationProfile read;
    int lineNumber = 0;
    auto fail = [&](const QString &reason) {
        if (problem)
            *problem = QStringLiteral("line %1: %2").arg(lineNumber).arg(reason);
        return false;
    };
    auto number = [&](const QString &key, const QString &value, qint64 low, qint64 high, qint64 *out) {
        bool ok = false;
        const qint64 v = value.toLongLong(&ok);
        if (!ok || v < low || v > high)
            return fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3, not \"%4\".").arg(key).arg(low).arg(high).arg(value));
        *out = v;
        return true;
    };

    const QStringList lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        ++lineNumber;
        const QString line = rawLine.section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("\"%1\" is not a \"key = value\" line.").arg(line.left(60)));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();

        qint64 v = 0;
        if (key == QLatin1String("step_ms")) {
            if (!number(key, value, 0, 3'600'000, &v))
                return false;
            read.StepMs = v;
        } else if (key == QLatin1String("execute_steps")) {
            if (!number(key, value, 1, 1000, &v))
                return false;
            read.ExecuteSteps = static_cast<int>(v);
        } else if (key == QLatin1String("silent_timeout_ms")) {
            if (!number(key, value, 0, 86'400'000, &v))
                return false;
            read.SilentTimeoutMs = v;
        } else if (key == QLatin1String("engine_error")) {
            if (!number(key, value, 1, 2'147'483'647, &v))
                return false;
            read.EngineError = static_cast<int>(v);
        } else if (key == QLatin1String("engine_error_after")) {
            if (!number(key, value, 0, 1'000'000'000, &v))
                return false;
            read.EngineErrorAfter = v;
        } else {
            QStringList *list = nullptr;
            if (key == QLatin1String("warning"))
                list = &read.WarningPatterns;
            else if (key == QLatin1String("error"))
                list = &read.ErrorPatterns;
            else if (key == QLatin1String("silent"))
                list = &read.SilentPatterns;
            else if (key == QLatin1String("corrupt"))
                list = &read.CorruptPatterns;
            else
                return fail(QStringLiteral("unknown key \"%1\".").arg(key.left(60)));
            for (const QString &pattern : value.split(QLatin1Char(','))) {
                const QString trimmed = pattern.trimmed();
                if (!trimmed.isEmpty())
                    list->append(trimmed);
            }
        }
    }
    *this = read;
    if (problem)
        problem->clear();
    return true;
}
