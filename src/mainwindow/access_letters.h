#pragma once

#include <QList>

class QAction;
class QMenu;

namespace stanzel {

// Gives every caption among `actions` (a menu bar's menus, or a menu's
// items, and those of their submenus) a letter of its own for Alt or the
// open menu: the first free initial of a word, else any free letter. A
// caption that already marks one (a language file may choose it) keeps it.
void GiveAccessLetters(const QList<QAction*>& actions);
// The same each time the menu opens, for menus whose items change.
void KeepAccessLetters(QMenu* menu);

} // namespace stanzel
