#pragma once
// Fixture of the window tests: a fresh database, the log-on and password
// windows and the data module as start-up makes them; the main window and
// its dialogs on demand; everything freed afterwards, message boxes answered
// by a script.
#include "dialogscript.h"

#include <QString>
#include <Qt>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class QWidget;

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Form1 and the dialogs that follow it at start-up (not shown).
    void createMain();
    // createMain() if needed, then shown as the log-on leaves it: the
    // start-up sequence has run.
    void showMain();
    // Shows a window and waits until it is the active one (for key focus).
    static void activate(QWidget *w);
    // Types text as a person does, character by character (Chinese too),
    // replacing what the field held; Enter afterwards unless told not to.
    static void typeInto(QWidget *target, const QString &text, bool enter = true);
    // ASCII keys, each to whatever has the focus when it comes (in a grid the
    // first key opens a cell editor and the rest go into it).
    static void typeKeys(const QString &keys);
    // One key to the focus widget, then the events it caused.
    static void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier);

    QString dbPath;
    // Where the default print back end writes: one printer "PDF", so what the
    // windows do never hangs on the printers this machine happens to have.
    QTemporaryDir printOut;
    DialogScript dialogs;
};
