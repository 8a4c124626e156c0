#include "enginehost/TokenBook.h"

#include "protocol/modProtocol.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <array>

namespace {

QByteArray hashOf(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Sha256);
}

} // namespace

QString TokenBook::create(const QString &computer)
{
    std::array<quint32, modProtocol::TokenBytes / sizeof(quint32)> words {};
    static_assert(modProtocol::TokenBytes % sizeof(quint32) == 0);
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    const std::string bytes(reinterpret_cast<const char *>(words.data()), modProtocol::TokenBytes);
    m_hashes.insert(computer.toLower(), hashOf(bytes));
    return QString::fromStdString(modProtocol::ToHex(bytes));
}

bool TokenBook::check(const QString &computer, const QString &token) const
{
    const auto found = m_hashes.constFind(computer.toLower());
    std::string bytes;
    if (found == m_hashes.constEnd() || !modProtocol::FromHex(token.toStdString(), bytes) || bytes.size() != modProtocol::TokenBytes)
        return false;
    const QByteArray hash = hashOf(bytes);
    return modProtocol::SameBytes(
        std::string_view(hash.constData(), std::size_t(hash.size())), std::string_view(found->constData(), std::size_t(found->size())));
}
