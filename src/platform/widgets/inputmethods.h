#pragma once
// Input methods on Linux, through IBus: the engines installed, and switching
// to one by name. Without IBus the list is empty and switching does nothing.
#include <QString>
#include <QStringList>

// Engine names of `ibus list-engine`, in its order; empty when IBus is not
// installed, not running, or does not answer within a short time.
QStringList installedInputMethods();

// Switches IBus to this engine without waiting for it; nothing happens for
// an empty name or without IBus.
void switchInputMethod(const QString &name);

// The engine names in the text that `ibus list-engine` prints: its indented
// lines "  name - description", under "language: ..." headings.
QStringList parseIbusEngineList(const QString &output);

// The IBus command used (tests point it at a script); empty = "ibus" found
// on the PATH.
void setIbusProgram(const QString &path);
