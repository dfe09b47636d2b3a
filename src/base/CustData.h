#pragma once
// The data module: the one database connection and the shared datasets of
// the reference tables, the settings row and the control tables. Created
// third at start-up and kept to the end.
#include "platform/db/dataset.h"

#include <QObject>
#include <functional>

class Tdbdata : public QObject
{
    Q_OBJECT
public:
    // Opens (or, when missing, creates) the database file and the reference
    // datasets. connected() tells whether that worked; openError() why not.
    explicit Tdbdata(const QString &databaseFile, QObject *parent = nullptr);
    ~Tdbdata() override;

    bool connected() const { return m_connected; }
    QString openError() const { return m_error; }
    // What the user must know about how the file was opened (a database put
    // back after an interrupted restore); empty normally.
    QString openNotice() const { return m_notice; }
    // Re-opens the reference datasets (after a reconnect).
    bool openDatasets();

    db::Dataset *itemset = nullptr;
    db::Dataset *doctorset = nullptr;
    db::Dataset *operatorset = nullptr;
    db::Dataset *departset = nullptr;
    db::Dataset *kindset = nullptr;
    db::Dataset *apperanceset = nullptr;
    db::Dataset *codeset = nullptr;
    db::Dataset *corpset = nullptr;
    db::Dataset *qcparaset = nullptr;
    db::Dataset *qcdataset = nullptr;
    db::Dataset *qctemp = nullptr;

    // A row the database refuses stays in edit with what was typed; a number
    // another row holds is reworded as that (the caller shows the error).
    void kindsetPostError(db::Dataset &ds, QString &error, db::Dataset::PostAction &action);
    void apperancesetPostError(db::Dataset &ds, QString &error, db::Dataset::PostAction &action);
    // After a post the list is re-read and the cursor kept on its record
    // number; a list that cannot be re-read is reported through reportError.
    void kindsetAfterPost(db::Dataset &ds);
    void apperancesetAfterPost(db::Dataset &ds);

    // Shows a database failure that no handler waits for (the windows set it).
    std::function<void(const QString &error)> reportError;

private:
    bool m_connected = false;
    QString m_error;
    QString m_notice;
};

extern Tdbdata *dbdata;
