#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>

// The Alt letters of a window or a menu, each of which must lead to one
// place: the problems found, empty when there is none.
namespace Mnemonics {

// The letter after a single "&", lower case; "&&" is an ampersand.
inline QChar of(const QString &text)
{
    static const QRegularExpression letter(QStringLiteral("(?:^|[^&])(?:&&)*&([^&])"));
    const QRegularExpressionMatch match = letter.match(text);
    return match.hasMatch() ? match.captured(1).at(0).toLower() : QChar();
}

// The texts that take a letter an earlier one has.
inline QStringList clashes(const QStringList &texts)
{
    QStringList found;
    QHash<QChar, QString> taken;
    for (const QString &text : texts) {
        const QChar letter = of(text);
        if (!letter.isNull() && taken.contains(letter))
            found.append(taken.value(letter) + QStringLiteral(" and ") + text);
        taken.insert(letter, text);
    }
    return found;
}

// The entries of a menu in sight, or a window's labels and buttons; there
// besides, a field's label without a letter and a letter that leads to no field.
inline QStringList problems(const QWidget &window)
{
    QStringList texts;
    QStringList found;
    for (const QAction *action : window.actions())
        texts.append(action->isVisible() ? action->text() : QString());
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->buddy() != of(label->text()).isNull())
            found.append(label->text());
        texts.append(label->text());
    }
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>())
        texts.append(button->text());
    return found + clashes(texts);
}

} // namespace Mnemonics
