#pragma once

#include "network/AddressTable.h"

#include <QStringList>

// A machine with exactly the given addresses, asked with or without
// loopback: a test that lists 127.0.0.1 wants the console to use it, which
// keeps a run's traffic on this machine. Installed for its lifetime; the
// table installed before it is back when it goes.
class FixedAddressTable final : public AddressTable
{
public:
    explicit FixedAddressTable(QStringList addresses = {})
        : m_addresses(std::move(addresses))
        , m_previous(install(this))
    { }
    ~FixedAddressTable() override { install(m_previous); }
    FixedAddressTable(const FixedAddressTable &) = delete;
    FixedAddressTable &operator=(const FixedAddressTable &) = delete;

    void setAddresses(QStringList addresses) { m_addresses = std::move(addresses); }

    QList<Row> Rows(bool) const override
    {
        QList<Row> rows;
        for (const QString &address : m_addresses)
            rows.append({address, QStringLiteral("255.255.255.0")});
        return rows;
    }

private:
    QStringList m_addresses;
    const AddressTable *m_previous = nullptr;
};
