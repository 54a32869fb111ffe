#include "mainwindow/access_letters.h"

#include <QAction>
#include <QMenu>
#include <set>

namespace stanzel {

namespace {

// The letter after a lone "&", or -1; "&&" stands for the character itself.
int MarkedPosition(const QString& caption) {
    for (int at = 0; at + 1 < caption.size(); ++at) {
        if (caption[at] != QLatin1Char('&'))
            continue;
        if (caption[at + 1] != QLatin1Char('&'))
            return at + 1;
        ++at;
    }
    return -1;
}

// Where a letter may be marked: first the initials of words, then the rest;
// a doubled "&" is one character and never marked.
QList<int> Candidates(const QString& caption) {
    QList<int> initials;
    QList<int> others;
    bool wordStart = true;
    for (int at = 0; at < caption.size(); ++at) {
        const QChar c = caption[at];
        if (c == QLatin1Char('&')) {
            ++at;
            wordStart = false;
            continue;
        }
        if (c.isLetterOrNumber())
            (wordStart ? initials : others).push_back(at);
        wordStart = !c.isLetterOrNumber();
    }
    return initials + others;
}

} // namespace

void GiveAccessLetters(const QList<QAction*>& actions) {
    std::set<QChar> taken;
    QList<QAction*> unmarked;
    for (QAction* action : actions) {
        if (action->isSeparator() || action->text().isEmpty())
            continue;
        if (QMenu* menu = action->menu())
            GiveAccessLetters(menu->actions());
        const int marked = MarkedPosition(action->text());
        if (marked < 0)
            unmarked.push_back(action);
        else
            taken.insert(action->text()[marked].toLower());
    }
    for (QAction* action : unmarked) {
        QString caption = action->text();
        for (const int at : Candidates(caption)) {
            const QChar letter = caption[at].toLower();
            if (taken.insert(letter).second) {
                caption.insert(at, QLatin1Char('&'));
                action->setText(caption);
                break;
            }
        }
    }
}

void KeepAccessLetters(QMenu* menu) {
    QObject::connect(menu, &QMenu::aboutToShow, menu,
                     [menu] { GiveAccessLetters(menu->actions()); });
}

} // namespace stanzel
