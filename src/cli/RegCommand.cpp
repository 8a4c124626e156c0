#include "cli/RegCommand.h"

#include "cli/modCommandLine.h"
#include "common/modRegistry.h"

#include <QScopeGuard>
#include <QTextStream>
#include <QtEndian>

#include <limits>
#include <vector>

namespace {

const QString kNotFound = QStringLiteral("The system was unable to find the specified registry key or value.");
const QString kDone = QStringLiteral("The operation completed successfully.");
const QString kIndent = QStringLiteral("    ");

bool isSwitch(const QString &token)
{
    return token.size() >= 2 && (token.startsWith(QLatin1Char('/')) || token.startsWith(QLatin1Char('-')));
}

// Text of a string value up to its terminating null.
QString textOf(const QByteArray &data)
{
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const auto unit = qFromLittleEndian<quint16>(data.constData() + i);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

QByteArray utf16le(const QString &text)
{
    QByteArray data(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), data.data() + 2 * i);
    return data;
}

bool parseUnsigned(const QString &text, quint64 max, quint64 *value)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    quint64 number = 0;
    if (trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        number = trimmed.mid(2).toULongLong(&ok, 16);
    else
        number = trimmed.toULongLong(&ok, 10);
    if (!ok || number > max)
        return false;
    *value = number;
    return true;
}

struct KeyCloser
{
    RegKey key;
    ~KeyCloser() { modRegistry::CloseKey(key); }
};

} // namespace

RegCommand::RegCommand(QTextStream &out, QTextStream &err, QTextStream &in)
    : m_out(out)
    , m_err(err)
    , m_in(in)
{ }

QString RegCommand::usage()
{
    return QStringLiteral("Usage: vo reg OPERATION KEY [switches]\n"
                          "\n"
                          "Reads and changes the Varno-Osk console's registry store, the way the\n"
                          "Windows reg command does on a Windows machine.\n"
                          "\n"
                          "  vo reg query  KEY [/v NAME | /ve] [/s]\n"
                          "  vo reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
                          "  vo reg delete KEY [/v NAME | /ve | /va] [/f]\n"
                          "\n"
                          "  KEY     [\\\\MACHINE\\]ROOT\\SUBKEY, ROOT being HKCR, HKCU, HKLM, HKU, HKPD,\n"
                          "          HKCC, HKDD or their long names (HKEY_CURRENT_USER, ...).\n"
                          "          Quote the key in the shell: vo reg query \"HKCU\\Software\".\n"
                          "  /v      the value NAME          /ve  the default value (Default)\n"
                          "  /va     every value of the key  /s   query: the key and all keys below it\n"
                          "  /t      REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,\n"
                          "          REG_QWORD, REG_BINARY or REG_NONE\n"
                          "  /d      the data: text, a number (decimal or 0x...) or hexadecimal bytes\n"
                          "  /s      add: the separator of REG_MULTI_SZ strings in DATA (default \\0)\n"
                          "  /f      no question before overwriting or deleting\n"
                          "\n"
                          "The store is the file named by VARNO_OSK_REGISTRY, else\n"
                          "$XDG_CONFIG_HOME/varno-osk/registry.db. Exit status: 0 success, 1 failure.\n"
                          "\n"
                          "Examples:\n"
                          "  vo reg add \"HKCU\\Software\\Brindlewood\\Varno-Osk\" /v ListenerPort /t REG_SZ /d 7919 /f\n"
                          "  vo reg query \"HKCU\\Software\\Brindlewood\\Varno-Osk\" /v ListenerPort\n"
                          "  vo reg delete \"HKCU\\Software\\Brindlewood\\Varno-Osk\" /va /f\n");
}

QString RegCommand::operationUsage(const QString &operation)
{
    const QString op = operation.toUpper();
    if (op == QLatin1String("QUERY"))
        return QStringLiteral("Usage: vo reg query KEY [/v NAME | /ve] [/s]\n");
    if (op == QLatin1String("ADD"))
        return QStringLiteral("Usage: vo reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n");
    if (op == QLatin1String("DELETE"))
        return QStringLiteral("Usage: vo reg delete KEY [/v NAME | /ve | /va] [/f]\n");
    return usage();
}

int RegCommand::run(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        m_err << usage();
        m_err.flush();
        return 1;
    }
    if (modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    if (arguments.size() >= 2 && modCommandLine::IsHelp(arguments.at(1))) {
        m_out << operationUsage(arguments.first());
        m_out.flush();
        return 0;
    }

    Options options;
    if (int status = parse(arguments, &options); status != 0)
        return status;

    int status = 1;
    if (options.operation == QLatin1String("QUERY"))
        status = query(options);
    else if (options.operation == QLatin1String("ADD"))
        status = add(options);
    else
        status = remove(options);
    m_out.flush();
    m_err.flush();
    return status;
}

int RegCommand::syntaxError(const QString &operation, const QString &detail)
{
    m_err << "ERROR: Invalid syntax." << (detail.isEmpty() ? QString() : QLatin1Char(' ') + detail) << '\n';
    if (operation.isEmpty())
        m_err << usage();
    else
        m_err << operationUsage(operation) << "Type \"vo reg " << operation.toLower() << " /?\" for usage.\n";
    m_err.flush();
    return 1;
}

int RegCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int RegCommand::failureForCode(long code)
{
    if (code == Reg::FileNotFound)
        return failure(kNotFound);
    return failure(modRegistry::ErrorText(code));
}

int RegCommand::parse(const QStringList &arguments, Options *options)
{
    const QString operation = arguments.first().toUpper();
    if (operation != QLatin1String("QUERY") && operation != QLatin1String("ADD") && operation != QLatin1String("DELETE"))
        return syntaxError(QString(), QStringLiteral("Unknown operation \"%1\".").arg(arguments.first()));
    options->operation = operation;

    if (arguments.size() < 2 || isSwitch(arguments.at(1)))
        return syntaxError(operation, QStringLiteral("The key is missing."));

    QString key = arguments.at(1);
    if (key.startsWith(QLatin1String("\\\\"))) {
        const qsizetype end = key.indexOf(QLatin1Char('\\'), 2);
        if (end < 0 || end == 2)
            return failure(QStringLiteral("Invalid key name."));
        options->machine = key.mid(2, end - 2);
        key = key.mid(end + 1);
    }
    // A bare root ("HKCU") names the root itself, as the trailing "\" would.
    if (!key.contains(QLatin1Char('\\')))
        key += QLatin1Char('\\');
    RegKey root = Reg::NoKey;
    QString subKey;
    if (modRegistry::ParseKeyPath(key, root, subKey) != 0 || root == Reg::NoKey)
        return failure(QStringLiteral("Invalid key name.\nType \"vo reg %1 /?\" for usage.").arg(operation.toLower()));
    options->keyPath = key;

    QStringList seen;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString &token = arguments.at(i);
        if (!isSwitch(token))
            return syntaxError(operation, QStringLiteral("Unexpected argument \"%1\".").arg(token));
        const QString name = token.mid(1).toLower();
        if (seen.contains(name))
            return syntaxError(operation, QStringLiteral("%1 is given twice.").arg(token));
        seen.append(name);

        auto takeArgument = [&](QString *target) {
            if (i + 1 >= arguments.size())
                return false;
            *target = arguments.at(++i);
            return true;
        };

        if (name == QLatin1String("v")) {
            if (!takeArgument(&options->valueName))
                return syntaxError(operation, QStringLiteral("/v needs a value name."));
            options->hasValueName = true;
        } else if (name == QLatin1String("ve")) {
            options->hasValueName = true;
            options->defaultValue = true;
        } else if (name == QLatin1String("va") && operation == QLatin1String("DELETE")) {
            options->allValues = true;
        } else if (name == QLatin1String("s") && operation == QLatin1String("QUERY")) {
            options->recurse = true;
        } else if (name == QLatin1String("s") && operation == QLatin1String("ADD")) {
            if (!takeArgument(&options->separator) || options->separator.isEmpty())
                return syntaxError(operation, QStringLiteral("/s needs a separator."));
        } else if (name == QLatin1String("t") && operation == QLatin1String("ADD")) {
            if (!takeArgument(&options->type))
                return syntaxError(operation, QStringLiteral("/t needs a type."));
        } else if (name == QLatin1String("d") && operation == QLatin1String("ADD")) {
            if (!takeArgument(&options->data))
                return syntaxError(operation, QStringLiteral("/d needs data."));
        } else if (name == QLatin1String("f") && operation != QLatin1String("QUERY")) {
            options->force = true;
        } else {
            return syntaxError(operation, QStringLiteral("Unknown switch \"%1\".").arg(token));
        }
    }

    const int valueSwitches
        = int(seen.contains(QStringLiteral("v"))) + int(seen.contains(QStringLiteral("ve"))) + int(seen.contains(QStringLiteral("va")));
    if (valueSwitches > 1)
        return syntaxError(operation, QStringLiteral("Use only one of /v, /ve and /va."));
    // As with reg, /t or /d without a value name set the default value.
    if (operation == QLatin1String("ADD") && !options->hasValueName
        && (seen.contains(QStringLiteral("t")) || seen.contains(QStringLiteral("d")))) {
        options->hasValueName = true;
        options->defaultValue = true;
    }
    if (options->defaultValue)
        options->valueName.clear();
    return 0;
}

bool RegCommand::confirm(const QString &question)
{
    for (;;) {
        m_out << question;
        m_out.flush();
        // Input that never ends a line (a device, a runaway program) is no answer.
        constexpr qint64 longestAnswer = 1024;
        const QString answer = m_in.readLine(longestAnswer);
        if (answer.isNull() || answer.size() >= longestAnswer) {
            m_out << '\n';
            return false;
        }
        const QString word = answer.trimmed().toLower();
        if (word == QLatin1String("y") || word == QLatin1String("yes"))
            return true;
        if (word == QLatin1String("n") || word == QLatin1String("no"))
            return false;
    }
}

QString RegCommand::formatData(quint32 type, const QByteArray &data)
{
    switch (type) {
    case Reg::TypeSz:
    case Reg::TypeExpandSz:
        return textOf(data);
    case Reg::TypeMultiSz: {
        QStringList parts;
        QString current;
        for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
            const auto unit = qFromLittleEndian<quint16>(data.constData() + i);
            if (unit == 0) {
                if (current.isEmpty())
                    break;
                parts.append(current);
                current.clear();
            } else {
                current.append(QChar(unit));
            }
        }
        if (!current.isEmpty())
            parts.append(current);
        return parts.join(QStringLiteral("\\0"));
    }
    case Reg::TypeDword:
        if (data.size() >= 4)
            return QStringLiteral("0x") + QString::number(qFromLittleEndian<quint32>(data.constData()), 16);
        break;
    case Reg::TypeQword:
        if (data.size() >= 8)
            return QStringLiteral("0x") + QString::number(qFromLittleEndian<quint64>(data.constData()), 16);
        break;
    default:
        break;
    }
    return QString::fromLatin1(data.toHex().toUpper());
}

bool RegCommand::encodeData(quint32 type, const QString &text, const QString &separator, QByteArray *data, QString *problem)
{
    switch (type) {
    case Reg::TypeSz:
    case Reg::TypeExpandSz:
        *data = modRegistry::DataFromString(text);
        return true;
    case Reg::TypeMultiSz: {
        data->clear();
        const QStringList parts = text.isEmpty() ? QStringList() : text.split(separator);
        for (const QString &part : parts) {
            if (part.isEmpty()) {
                *problem = QStringLiteral("REG_MULTI_SZ strings cannot be empty.");
                return false;
            }
            *data += utf16le(part) + QByteArray(2, '\0');
        }
        *data += QByteArray(2, '\0');
        return true;
    }
    case Reg::TypeDword: {
        quint64 number = 0;
        if (!parseUnsigned(text.isEmpty() ? QStringLiteral("0") : text, std::numeric_limits<quint32>::max(), &number)) {
            *problem = QStringLiteral("Specify a valid numeric value for '/d'.");
            return false;
        }
        data->resize(4);
        qToLittleEndian<quint32>(static_cast<quint32>(number), data->data());
        return true;
    }
    case Reg::TypeQword: {
        quint64 number = 0;
        if (!parseUnsigned(text.isEmpty() ? QStringLiteral("0") : text, std::numeric_limits<quint64>::max(), &number)) {
            *problem = QStringLiteral("Specify a valid numeric value for '/d'.");
            return false;
        }
        data->resize(8);
        qToLittleEndian<quint64>(number, data->data());
        return true;
    }
    default: {
        QString hex = text.trimmed();
        if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            hex = hex.mid(2);
        for (const QChar c : std::as_const(hex)) {
            if (!isxdigit(c.toLatin1()) || c.unicode() > 0x7F) {
                *problem = QStringLiteral("Specify a valid hexadecimal value for '/d'.");
                return false;
            }
        }
        if (hex.size() % 2)
            hex.prepend(QLatin1Char('0'));
        *data = QByteArray::fromHex(hex.toLatin1());
        return true;
    }
    }
}

void RegCommand::printKey(const QString &fullName)
{
    m_out << fullName << '\n';
}

void RegCommand::printValue(const QString &name, quint32 type, const QByteArray &data)
{
    m_out << kIndent << (name.isEmpty() ? QStringLiteral("(Default)") : name) << kIndent << Reg::TypeName(type) << kIndent
          << formatData(type, data) << '\n';
}

int RegCommand::printMatchingValues(RegKey key, const QString &fullName, const Options &options, int *matches)
{
    QList<RegistryStore::Value> values;
    if (long code = modRegistry::EnumValues(key, values); code != Reg::Success)
        return failureForCode(code);

    if (options.hasValueName) {
        for (const RegistryStore::Value &value : std::as_const(values)) {
            if (value.name.compare(options.valueName, Qt::CaseInsensitive) == 0) {
                printKey(fullName);
                printValue(value.name, value.type, value.data);
                m_out << '\n';
                ++*matches;
            }
        }
    } else {
        printKey(fullName);
        for (const RegistryStore::Value &value : std::as_const(values))
            printValue(value.name, value.type, value.data);
        m_out << '\n';
    }
    return 0;
}

int RegCommand::queryTree(RegKey top, const QString &topName, const Options &options, int *matches)
{
    // Walked with a stack of its own rather than by recursion: a damaged or
    // hostile store can hold a chain of keys far deeper than any call stack.
    struct Level
    {
        RegKey key = Reg::NoKey;
        QString fullName;
        QStringList subKeys;
        qsizetype next = 0;
    };
    std::vector<Level> levels;
    // The top key belongs to the caller; every key below it is opened here.
    const auto closeOpened = qScopeGuard([&levels] {
        for (std::size_t i = 1; i < levels.size(); ++i)
            modRegistry::CloseKey(levels[i].key);
    });
    auto enter = [&](RegKey key, const QString &fullName) -> int {
        levels.push_back({key, fullName, {}, 0});
        if (int status = printMatchingValues(key, fullName, options, matches); status != 0)
            return status;
        if (long code = modRegistry::EnumKeys(key, levels.back().subKeys); code != Reg::Success)
            return failureForCode(code);
        return 0;
    };

    const qsizetype topDepth = topName.count(QLatin1Char('\\'));
    if (int status = enter(top, topName); status != 0)
        return status;
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next == level.subKeys.size()) {
            if (levels.size() > 1)
                modRegistry::CloseKey(level.key);
            levels.pop_back();
            continue;
        }
        const QString &name = level.subKeys.at(level.next++);
        const QString fullName = level.fullName + QLatin1Char('\\') + name;
        if (topDepth + static_cast<qsizetype>(levels.size()) > Reg::MaxKeyDepth) {
            return failure(QStringLiteral("The registry store is damaged: %1 is more than %2 levels below its root.")
                               .arg(fullName.left(200) + QStringLiteral("..."))
                               .arg(Reg::MaxKeyDepth));
        }
        RegKey child = Reg::NoKey;
        if (long code = modRegistry::Store().openKey(level.key, name, Reg::KeyRead, &child); code != Reg::Success)
            return failureForCode(code);
        if (int status = enter(child, fullName); status != 0)
            return status;
    }
    return 0;
}

int RegCommand::query(const Options &options)
{
    RegKey key = Reg::NoKey;
    if (long code = modRegistry::OpenKey(options.keyPath, options.machine, Reg::KeyRead, key); code != Reg::Success)
        return failureForCode(code);
    const KeyCloser closer {key};

    QString fullName;
    if (long code = modRegistry::KeyName(key, fullName); code != Reg::Success)
        return failureForCode(code);

    if (options.recurse) {
        int matches = 0;
        m_out << '\n';
        if (int status = queryTree(key, fullName, options, &matches); status != 0)
            return status;
        if (options.hasValueName) {
            m_out << "End of search: " << matches << " match(es) found.\n";
            if (matches == 0)
                return failure(kNotFound);
        }
        return 0;
    }

    if (options.hasValueName) {
        quint32 type = Reg::TypeNone;
        QByteArray data;
        const long code = modRegistry::QueryRawValue(key, options.valueName, type, data);
        if (code == Reg::FileNotFound && options.defaultValue) {
            m_out << '\n';
            printKey(fullName);
            m_out << kIndent << "(Default)" << kIndent << "REG_SZ" << kIndent << "(value not set)\n\n";
            return 0;
        }
        if (code != Reg::Success)
            return failureForCode(code);
        // Show the name as stored, whatever spelling found it.
        QString storedName = options.valueName;
        QList<RegistryStore::Value> values;
        if (modRegistry::EnumValues(key, values) == Reg::Success) {
            for (const RegistryStore::Value &value : std::as_const(values)) {
                if (value.name.compare(options.valueName, Qt::CaseInsensitive) == 0)
                    storedName = value.name;
            }
        }
        m_out << '\n';
        printKey(fullName);
        printValue(storedName, type, data);
        m_out << '\n';
        return 0;
    }

    QList<RegistryStore::Value> values;
    if (long code = modRegistry::EnumValues(key, values); code != Reg::Success)
        return failureForCode(code);
    QStringList subKeys;
    if (long code = modRegistry::EnumKeys(key, subKeys); code != Reg::Success)
        return failureForCode(code);
    m_out << '\n';
    printKey(fullName);
    for (const RegistryStore::Value &value : std::as_const(values))
        printValue(value.name, value.type, value.data);
    m_out << '\n';
    for (const QString &name : std::as_const(subKeys))
        printKey(fullName + QLatin1Char('\\') + name);
    return 0;
}

int RegCommand::add(const Options &options)
{
    quint32 type = Reg::TypeSz;
    if (!Reg::TypeFromName(options.type, &type))
        return failure(
            QStringLiteral("Invalid type \"%1\". Use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY or REG_NONE.")
                .arg(options.type));
    QByteArray data;
    QString problem;
    if (options.hasValueName && !encodeData(type, options.data, options.separator, &data, &problem))
        return syntaxError(QStringLiteral("add"), problem);

    RegKey root = Reg::NoKey;
    QString subKey;
    modRegistry::ParseKeyPath(options.keyPath, root, subKey);
    RegKey parent = root;
    if (!options.machine.isEmpty()) {
        if (long code = modRegistry::OpenKey(Reg::RootName(root) + QLatin1Char('\\'), options.machine, Reg::KeyAllAccess, parent);
            code != Reg::Success)
            return failureForCode(code);
    }

    RegKey key = Reg::NoKey;
    if (long code = modRegistry::CreateKey(subKey, parent, QString(), options.machine, key); code != Reg::Success)
        return failureForCode(code);
    const KeyCloser closer {key};

    if (options.hasValueName) {
        quint32 existingType = Reg::TypeNone;
        QByteArray existing;
        if (!options.force && modRegistry::QueryRawValue(key, options.valueName, existingType, existing) == Reg::Success) {
            const QString shown = options.defaultValue ? QStringLiteral("(Default)") : options.valueName;
            if (!confirm(QStringLiteral("Value %1 exists, overwrite(Yes/No)? ").arg(shown))) {
                m_out << "The operation was canceled by the user.\n";
                return 0;
            }
        }
        if (long code = modRegistry::SetValue(options.valueName, type, data, key, QString()); code != Reg::Success)
            return failureForCode(code);
    }
    m_out << kDone << '\n';
    return 0;
}

int RegCommand::remove(const Options &options)
{
    RegKey key = Reg::NoKey;
    if (long code = modRegistry::OpenKey(options.keyPath, options.machine, Reg::KeyAllAccess, key); code != Reg::Success)
        return failureForCode(code);
    const KeyCloser closer {key};

    QString fullName;
    if (long code = modRegistry::KeyName(key, fullName); code != Reg::Success)
        return failureForCode(code);

    auto canceled = [this] {
        m_out << "The operation was canceled by the user.\n";
        return 0;
    };

    if (options.allValues) {
        QList<RegistryStore::Value> values;
        if (long code = modRegistry::EnumValues(key, values); code != Reg::Success)
            return failureForCode(code);
        if (!options.force && !confirm(QStringLiteral("Delete all values under the registry key %1 (Yes/No)? ").arg(fullName)))
            return canceled();
        for (const RegistryStore::Value &value : std::as_const(values)) {
            if (long code = modRegistry::DeleteValue(key, value.name); code != Reg::Success && code != Reg::FileNotFound)
                return failureForCode(code);
        }
    } else if (options.hasValueName) {
        quint32 type = Reg::TypeNone;
        QByteArray data;
        if (long code = modRegistry::QueryRawValue(key, options.valueName, type, data); code != Reg::Success)
            return failureForCode(code);
        const QString shown = options.defaultValue ? QStringLiteral("(Default)") : options.valueName;
        if (!options.force && !confirm(QStringLiteral("Delete the registry value %1 (Yes/No)? ").arg(shown)))
            return canceled();
        if (long code = modRegistry::DeleteValue(key, options.valueName); code != Reg::Success)
            return failureForCode(code);
    } else {
        if (!options.force && !confirm(QStringLiteral("Permanently delete the registry key %1 (Yes/No)? ").arg(fullName)))
            return canceled();
        if (long code = modRegistry::DeleteKey(options.keyPath, options.machine); code != Reg::Success)
            return failureForCode(code);
    }
    m_out << kDone << '\n';
    return 0;
}
