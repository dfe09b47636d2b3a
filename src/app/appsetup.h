#pragma once
// Start-up settings of the application object: Chinese font substitutes and
// Qt's own Chinese texts (是, 否, 确定, 取消).
class QApplication;
void setupApplication(QApplication &app);
void installChineseFonts();
// The message window while a database file of an earlier build gains this
// build's indexes (set by setupApplication).
void databaseUpgradeNotice(bool running);
