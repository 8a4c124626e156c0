#include "engine/modScramble.h"

#include "common/Clock.h"
#include "common/modText.h"

#include <QRandomGenerator>

#include <chrono>
#include <memory>

namespace modScramble {

namespace {

constexpr int kMarker = 'S';
constexpr int kBodyBase = 35;
constexpr int kBodyModulus = 200;
constexpr int kPrefixCodes = 215; // 35 to 249

int draw(const RandomSource &random, int range)
{
    int value = static_cast<int>(random() * range);
    // A source that returns 1.0 (or drifts past it) must not leave the range.
    return qBound(0, value, range - 1);
}

int nextKey(int k, int step)
{
    k += step;
    if (k >= 256)
        k -= 255;
    return k;
}

} // namespace

RandomSource ClockSeededSource()
{
    // Two configuration files scrambled in the same millisecond would get the
    // same prefix from the clock alone; the steady clock's ticks keep them apart.
    const auto wall = static_cast<quint64>(Clock::instance().currentDateTime().toMSecsSinceEpoch());
    const auto ticks = static_cast<quint64>(std::chrono::steady_clock::now().time_since_epoch().count());
    auto generator = std::make_shared<QRandomGenerator64>(wall ^ (ticks << 1));
    return [generator] { return generator->generateDouble(); };
}

QByteArray Scramble(const QString &text, const RandomSource &random)
{
    const int n = draw(random, MaxPrefixLength + 1);

    QByteArray out;
    out.reserve(n + 1 + text.size());
    while (out.size() < n) {
        const int code = draw(random, kPrefixCodes) + kBodyBase;
        if (code == 127 || code == kMarker)
            continue;
        out.append(static_cast<char>(code));
    }
    out.append(static_cast<char>(kMarker));

    const int step = n + 1;
    int k = step;
    for (qsizetype index = 0; index < text.size(); ++index) {
        int c = modText::AnsiCode(text.at(index));
        if (c < 0)
            c = '?';
        const int i = static_cast<int>(index % kBodyModulus) + 1;
        out.append(static_cast<char>(((c + i + k) % kBodyModulus) + kBodyBase));
        k = nextKey(k, step);
    }
    return out;
}

QByteArray Scramble(const QString &text)
{
    return Scramble(text, ClockSeededSource());
}

bool Descramble(const QByteArray &data, QString &text, QString *problem)
{
    auto fail = [&](const QString &reason) {
        if (problem)
            *problem = reason;
        text.clear();
        return false;
    };

    const qsizetype n = data.indexOf(static_cast<char>(kMarker));
    if (n < 0)
        return fail(QStringLiteral("The file has no end-of-prefix marker \"S\"; it is not a scrambled configuration file."));
    if (n > MaxPrefixLength)
        return fail(
            QStringLiteral("The prefix is %1 characters long; a scrambled configuration file has at most %2.").arg(n).arg(MaxPrefixLength));

    const int step = static_cast<int>(n) + 1;
    int k = step;
    QString plain;
    plain.reserve(data.size() - n - 1);
    for (qsizetype pos = n + 1; pos < data.size(); ++pos) {
        const int b = static_cast<unsigned char>(data.at(pos));
        if (b < kBodyBase || b >= kBodyBase + kBodyModulus)
            return fail(QStringLiteral("Byte %1 at offset %2 cannot come from scrambling (only 35 to 234 can).").arg(b).arg(pos));
        const qsizetype index = pos - n - 1;
        const int i = static_cast<int>(index % kBodyModulus) + 1;
        int c = (b - kBodyBase - i - k) % kBodyModulus;
        if (c < 0)
            c += kBodyModulus;
        plain.append(modText::FromAnsiCode(c));
        k = nextKey(k, step);
    }
    text = plain;
    if (problem)
        problem->clear();
    return true;
}

} // namespace modScramble
