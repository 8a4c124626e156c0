#include "settingsfile/PasswordSealer.h"

#include <sodium.h>

#include <stdexcept>

namespace {

// Sub-key numbers under the Argon2id master key.
constexpr quint64 SealKeyID = 1;
constexpr quint64 NonceKeyID = 2;
constexpr quint64 CheckKeyID = 3;
constexpr char KdfContext[crypto_kdf_CONTEXTBYTES + 1] = "VOSETTNG";

constexpr size_t NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
// Boxes are padded to a multiple of this, so a box tells little about the
// length of the password in it.
constexpr size_t PadBlock = 16;

// The cost is read from the file, so the file decides how long and with how
// much memory the console hashes before it can even refuse a passphrase. A
// file may ask for a few times what the console writes (a stronger machine
// may have saved it), each limit and their product alike, and no more.
constexpr quint64 CostFactor = 4;
constexpr quint64 MaxOpsLimit = CostFactor * crypto_pwhash_OPSLIMIT_MODERATE;
constexpr quint64 MaxMemLimit = CostFactor * crypto_pwhash_MEMLIMIT_MODERATE;
constexpr quint64 MaxWork = CostFactor * crypto_pwhash_OPSLIMIT_MODERATE * crypto_pwhash_MEMLIMIT_MODERATE;

const QByteArray CheckText = QByteArrayLiteral("varno-osk-settings passphrase check");

void ensureSodium()
{
    static const int ready = sodium_init();
    if (ready < 0)
        throw std::runtime_error("libsodium could not be initialised");
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

unsigned char *bytes(QByteArray &data)
{
    return reinterpret_cast<unsigned char *>(data.data());
}

// What a box is bound to: the file format, the owner of the record and the slot.
QByteArray associatedData(const QString &ownerKey, int userType)
{
    return QByteArrayLiteral("varno-osk-settings/1 password ") + ownerKey.toUtf8() + '/' + QByteArray::number(userType);
}

} // namespace

PasswordSealer::Cost PasswordSealer::Cost::Default()
{
    return {crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE};
}

PasswordSealer::Cost PasswordSealer::Cost::Minimum()
{
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

PasswordSealer::Parameters PasswordSealer::NewParameters(const Cost &cost)
{
    ensureSodium();
    Parameters parameters;
    parameters.Salt = QByteArray(SaltBytes, '\0');
    randombytes_buf(parameters.Salt.data(), SaltBytes);
    parameters.KdfCost = cost;
    return parameters;
}

QString PasswordSealer::CheckParameters(const Parameters &parameters)
{
    if (parameters.Salt.size() != SaltBytes)
        return QStringLiteral("the salt must be %1 bytes long").arg(SaltBytes);
    if (parameters.KdfCost.OpsLimit < crypto_pwhash_OPSLIMIT_MIN || parameters.KdfCost.OpsLimit > MaxOpsLimit)
        return QStringLiteral("the operations limit %1 is outside %2 to %3")
            .arg(parameters.KdfCost.OpsLimit)
            .arg(crypto_pwhash_OPSLIMIT_MIN)
            .arg(MaxOpsLimit);
    if (parameters.KdfCost.MemLimit < crypto_pwhash_MEMLIMIT_MIN || parameters.KdfCost.MemLimit > MaxMemLimit)
        return QStringLiteral("the memory limit %1 is outside %2 to %3")
            .arg(parameters.KdfCost.MemLimit)
            .arg(crypto_pwhash_MEMLIMIT_MIN)
            .arg(MaxMemLimit);
    if (parameters.KdfCost.OpsLimit * parameters.KdfCost.MemLimit > MaxWork)
        return QStringLiteral("%1 passes over %2 bytes are more than %3 times the work of %4 passes over %5 bytes")
            .arg(parameters.KdfCost.OpsLimit)
            .arg(parameters.KdfCost.MemLimit)
            .arg(CostFactor)
            .arg(crypto_pwhash_OPSLIMIT_MODERATE)
            .arg(crypto_pwhash_MEMLIMIT_MODERATE);
    return QString();
}

PasswordSealer::PasswordSealer() = default;

PasswordSealer::~PasswordSealer()
{
    wipe();
}

void PasswordSealer::wipe()
{
    sodium_memzero(m_sealKey.data(), m_sealKey.size());
    sodium_memzero(m_nonceKey.data(), m_nonceKey.size());
    sodium_memzero(m_checkKey.data(), m_checkKey.size());
    m_ready = false;
}

bool PasswordSealer::Derive(const QString &passphrase, const Parameters &parameters)
{
    ensureSodium();
    wipe();
    m_parameters = parameters;
    if (!CheckParameters(parameters).isEmpty())
        return false;

    QByteArray secret = passphrase.toUtf8();
    Key master {};
    const int derived = crypto_pwhash(master.data(), master.size(), secret.constData(), static_cast<unsigned long long>(secret.size()),
        bytes(parameters.Salt), parameters.KdfCost.OpsLimit, static_cast<size_t>(parameters.KdfCost.MemLimit),
        crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(secret.data(), static_cast<size_t>(secret.size()));
    if (derived != 0) {
        sodium_memzero(master.data(), master.size());
        return false;
    }
    crypto_kdf_derive_from_key(m_sealKey.data(), m_sealKey.size(), SealKeyID, KdfContext, master.data());
    crypto_kdf_derive_from_key(m_nonceKey.data(), m_nonceKey.size(), NonceKeyID, KdfContext, master.data());
    crypto_kdf_derive_from_key(m_checkKey.data(), m_checkKey.size(), CheckKeyID, KdfContext, master.data());
    sodium_memzero(master.data(), master.size());
    m_ready = true;
    return true;
}

QByteArray PasswordSealer::CheckValue() const
{
    if (!m_ready)
        throw std::logic_error("PasswordSealer used before Derive");
    QByteArray check(CheckBytes, '\0');
    crypto_generichash(bytes(check), CheckBytes, bytes(CheckText), static_cast<unsigned long long>(CheckText.size()), m_checkKey.data(),
        m_checkKey.size());
    return check;
}

bool PasswordSealer::Matches(const QByteArray &checkValue) const
{
    if (!m_ready || checkValue.size() != CheckBytes)
        return false;
    const QByteArray own = CheckValue();
    return sodium_memcmp(own.constData(), checkValue.constData(), CheckBytes) == 0;
}

QByteArray PasswordSealer::Seal(const QString &ownerKey, int userType, const QString &password) const
{
    if (!m_ready)
        throw std::logic_error("PasswordSealer used before Derive");
    const QByteArray ad = associatedData(ownerKey, userType);

    QByteArray plain = password.toUtf8();
    const auto length = static_cast<size_t>(plain.size());
    plain.resize(static_cast<qsizetype>((length / PadBlock + 1) * PadBlock));
    size_t paddedLength = 0;
    if (sodium_pad(&paddedLength, bytes(plain), length, PadBlock, static_cast<size_t>(plain.size())) != 0)
        throw std::runtime_error("sodium_pad failed");
    plain.resize(static_cast<qsizetype>(paddedLength));

    // The nonce is a keyed hash of everything that is sealed and what it is
    // bound to: random nonces would change the file on every save.
    QByteArray sealed(static_cast<qsizetype>(NonceBytes + paddedLength + TagBytes), '\0');
    crypto_generichash_state state;
    crypto_generichash_init(&state, m_nonceKey.data(), m_nonceKey.size(), NonceBytes);
    const QByteArray adLength = QByteArray::number(ad.size()) + ':';
    crypto_generichash_update(&state, bytes(adLength), static_cast<unsigned long long>(adLength.size()));
    crypto_generichash_update(&state, bytes(ad), static_cast<unsigned long long>(ad.size()));
    crypto_generichash_update(&state, bytes(plain), static_cast<unsigned long long>(plain.size()));
    crypto_generichash_final(&state, bytes(sealed), NonceBytes);

    unsigned long long boxLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(bytes(sealed) + NonceBytes, &boxLength, bytes(plain),
        static_cast<unsigned long long>(plain.size()), bytes(ad), static_cast<unsigned long long>(ad.size()), nullptr, bytes(sealed),
        m_sealKey.data());
    sodium_memzero(plain.data(), static_cast<size_t>(plain.size()));
    sealed.resize(static_cast<qsizetype>(NonceBytes + boxLength));
    return sealed;
}

std::optional<QString> PasswordSealer::Open(const QString &ownerKey, int userType, const QByteArray &sealed) const
{
    if (!m_ready || static_cast<size_t>(sealed.size()) < NonceBytes + TagBytes + PadBlock)
        return std::nullopt;
    const QByteArray ad = associatedData(ownerKey, userType);
    const size_t boxLength = static_cast<size_t>(sealed.size()) - NonceBytes;
    QByteArray plain(static_cast<qsizetype>(boxLength - TagBytes), '\0');
    unsigned long long plainLength = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(bytes(plain), &plainLength, nullptr, bytes(sealed) + NonceBytes, boxLength, bytes(ad),
            static_cast<unsigned long long>(ad.size()), bytes(sealed), m_sealKey.data())
        != 0)
        return std::nullopt;
    size_t unpadded = 0;
    if (sodium_unpad(&unpadded, bytes(plain), static_cast<size_t>(plainLength), PadBlock) != 0) {
        sodium_memzero(plain.data(), static_cast<size_t>(plain.size()));
        return std::nullopt;
    }
    QString password = QString::fromUtf8(plain.constData(), static_cast<qsizetype>(unpadded));
    sodium_memzero(plain.data(), static_cast<size_t>(plain.size()));
    return password;
}
