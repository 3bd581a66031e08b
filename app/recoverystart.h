#pragma once

#include <QStringList>

class MainWindow;

// What a start does before the window opens the document named on the
// command line: copies left by instances that ended without cleaning up are
// offered in "Recover Documents". Restore opens the first in this window and
// each other in a Velmora of its own (started with "--restore STEM", which
// restores that copy and offers nothing else); Discard deletes them after
// a confirmation; Later keeps them for the next start. A document named on
// the command line that a restored copy belongs to is not opened over it.
namespace RecoveryStart {

void run(MainWindow *window, const QStringList &arguments);

} // namespace RecoveryStart
