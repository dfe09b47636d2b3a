#pragma once
// Test support: a fresh database file per test, connected as the program's
// connection, and where tests put what a person may want to look at.
#include <QString>

namespace testdb {

// Creates a new database file from the schema (and the default data when
// asked) in a fresh temporary folder, connects it as "jykdbconnect" and
// returns its path. The folder lives until the test program ends.
QString fresh(bool withDefaults = true);

// A new empty temporary folder that lives until the test program ends.
QString tempDir();

// build/test-output: screenshots, PDFs and page images for people to look at.
QString outputDir();

// The source tree (for db/*.sql and the like).
QString sourceDir();

// Another program's hold on a database file: a second connection with an
// exclusive lock, so that the program's statements on the file fail (after
// the connection's busy wait) until the lock is released or destroyed.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock() { release(); }
    bool held() const { return m_held; }
    void release();

private:
    QString m_name;
    bool m_held = false;
};

} // namespace testdb
