#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Seals the account passwords of a settings file under a key derived from
// the administrator's passphrase (Argon2id), one XChaCha20-Poly1305 box per
// password, bound to its owner and slot so that a box moved to another
// account does not open.
//
// Sealing is deterministic for a given key: the nonce is a keyed hash of the
// owner, the slot and the password. Saving the same database twice with the
// same passphrase and salt therefore gives the same bytes, and a nonce is
// only ever repeated for the very same password in the very same place.
class PasswordSealer
{
public:
    // The Argon2id cost a file was sealed with; the file stores it.
    struct Cost
    {
        quint64 OpsLimit = 0;
        quint64 MemLimit = 0;

        // What the console uses: libsodium's "moderate" level.
        static Cost Default();
        // The cheapest cost libsodium allows; for tests, never for real files.
        static Cost Minimum();
        bool operator==(const Cost &) const = default;
    };

    struct Parameters
    {
        QByteArray Salt;
        Cost KdfCost;
        bool operator==(const Parameters &) const = default;
    };

    static constexpr int SaltBytes = 16;
    static constexpr int CheckBytes = 32;

    // A fresh random salt with the given cost.
    static Parameters NewParameters(const Cost &cost);
    // Empty text when a file may ask for these parameters; else the problem.
    // The upper limits keep a damaged or hostile file from making the
    // console allocate gigabytes or hash for hours.
    static QString CheckParameters(const Parameters &parameters);

    PasswordSealer();
    ~PasswordSealer();
    PasswordSealer(const PasswordSealer &) = delete;
    PasswordSealer &operator=(const PasswordSealer &) = delete;

    // Derives the keys. False when libsodium cannot (not enough memory for
    // the cost, parameters out of range); the sealer is then not ready.
    bool Derive(const QString &passphrase, const Parameters &parameters);
    bool IsReady() const { return m_ready; }
    const Parameters &parameters() const { return m_parameters; }

    // A value that proves the passphrase without opening any password.
    QByteArray CheckValue() const;
    bool Matches(const QByteArray &checkValue) const;

    // nonce + box of `password` for account slot `userType` of the record owned by `ownerKey`.
    QByteArray Seal(const QString &ownerKey, int userType, const QString &password) const;
    // The password, or nothing when the box was not sealed for this key, owner and slot.
    std::optional<QString> Open(const QString &ownerKey, int userType, const QByteArray &sealed) const;

private:
    using Key = std::array<unsigned char, 32>;

    void wipe();

    Key m_sealKey {};
    Key m_nonceKey {};
    Key m_checkKey {};
    Parameters m_parameters;
    bool m_ready = false;
};
