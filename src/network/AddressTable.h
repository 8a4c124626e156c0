#pragma once

#include <QList>
#include <QString>

// This machine's IPv4 addresses as the platform lists them, one row per
// interface address, in the platform's order. The listener address and the
// configuration dialog's lists come from here; tests install a table of
// their own.
class AddressTable
{
public:
    struct Row
    {
        QString address; // dotted text
        QString mask;
    };

    virtual ~AddressTable() = default;

    // "0.0.0.0" never appears. The loopback addresses only when asked for,
    // and then after the others: clients on other computers can never call
    // a console back there, only those on this machine can.
    virtual QList<Row> Rows(bool includeLoopback) const = 0;

    // The addresses of Rows, in the same order.
    QStringList Addresses(bool includeLoopback) const;

    // The table in charge: the one installed, else the platform's.
    static const AddressTable &current();
    // The caller keeps the table alive; nullptr restores the platform's.
    // Returns the one installed before.
    static const AddressTable *install(const AddressTable *table);
};
