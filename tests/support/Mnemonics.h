#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

// The Alt letters of a window or a menu, each of which must lead to one
// place: the problems found, empty when there is none.
namespace Mnemonics {

// The letter after a single "&", lower case; none for "&&".
inline QChar of(const QString &text)
{
    for (qsizetype at = text.indexOf(QLatin1Char('&')); at >= 0 && at + 1 < text.size(); at = text.indexOf(QLatin1Char('&'), at + 2)) {
        if (text.at(at + 1) != QLatin1Char('&'))
            return text.at(at + 1).toLower();
    }
    return QChar();
}

// Two entries on one letter; a field label without a letter, or one whose
// letter leads nowhere.
inline QStringList problems(const QWidget &window)
{
    QStringList found;
    QHash<QChar, QString> taken;
    const auto take = [&](const QString &text) {
        const QChar letter = of(text);
        if (!letter.isNull() && taken.contains(letter))
            found.append(taken.value(letter) + QStringLiteral(" and ") + text);
        if (!letter.isNull())
            taken.insert(letter, text);
    };
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (label->buddy() && of(label->text()).isNull())
            found.append(label->text() + QStringLiteral(" has no letter"));
        else if (!label->buddy() && !of(label->text()).isNull())
            found.append(label->text() + QStringLiteral(" leads nowhere"));
        take(label->text());
    }
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>())
        take(button->text());
    for (const QGroupBox *box : window.findChildren<QGroupBox *>())
        take(box->title());
    return found;
}

inline QStringList problems(const QMenu &menu)
{
    QStringList found;
    QHash<QChar, QString> taken;
    for (const QAction *action : menu.actions()) {
        const QChar letter = of(action->text());
        if (letter.isNull() || !action->isVisible())
            continue;
        if (taken.contains(letter))
            found.append(menu.title() + QStringLiteral(": ") + taken.value(letter) + QStringLiteral(" and ") + action->text());
        taken.insert(letter, action->text());
    }
    return found;
}

} // namespace Mnemonics
