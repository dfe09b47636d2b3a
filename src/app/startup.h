#pragma once
// The long-lived windows, made once in start-up order and freed together.
// The log-on and password windows and the data module come first (main);
// everything from the main window on is made here.

// Creates Form1 and the dialog windows that follow it at start-up.
void createMainWindows();
// Frees every window and the data module, in reverse order, and clears
// their global pointers.
void destroyWindows();
