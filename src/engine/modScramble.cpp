#include "engine/modScramble.h"

#include "common/Clock.h"
#include "common/modText.h"

#include "protocol/modScrambleCore.h"

#include <QRandomGenerator>

#include <chrono>
#include <memory>

namespace modScramble {

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
    std::string codes;
    codes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const int code = modText::AnsiCode(c);
        codes += static_cast<char>(code < 0 ? '?' : code);
    }
    const std::string out = modScrambleCore::Scramble(codes, random);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

QByteArray Scramble(const QString &text)
{
    return Scramble(text, ClockSeededSource());
}

bool Descramble(const QByteArray &data, QString &text, QString *problem)
{
    std::string codes;
    std::string reason;
    const bool ok = modScrambleCore::Descramble(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), codes, &reason);
    if (problem)
        *problem = QString::fromStdString(reason);
    text.clear();
    if (!ok)
        return false;
    text.reserve(static_cast<qsizetype>(codes.size()));
    for (const char c : codes)
        text.append(modText::FromAnsiCode(static_cast<unsigned char>(c)));
    return true;
}

} // namespace modScramble
