#pragma once
// The long-lived windows, made once in start-up order and freed together.
// The log-on and password windows and the data module come first (main);
// everything from the main window on is made here.
#include <QString>

// Creates the data module on the database file (opening or creating it).
// When the file cannot be used, says why in a message box, frees the module
// and returns false: the program cannot run without its database. A file
// put back after an interrupted restore is told before the log-on.
bool createDataModule(const QString &databaseFile);
// Creates Form1 and the dialog windows that follow it at start-up.
void createMainWindows();
// Frees every window and the data module, in reverse order, and clears
// their global pointers.
void destroyWindows();
