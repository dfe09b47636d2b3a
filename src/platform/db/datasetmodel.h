#pragma once
// A table model over a Dataset for the grids: one column per visible field
// definition, titled by its display label, editable unless the field or the
// model is read-only. Edits go into the dataset's current row (which follows
// the edited cell); the dataset decides when the row is written.
#include "platform/db/dataset.h"

#include <QAbstractTableModel>
#include <functional>

namespace db {

class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DatasetModel(Dataset *ds, QObject *parent = nullptr);

    Dataset *dataset() const { return m_ds; }
    void setReadOnly(bool on) { m_readOnly = on; }
    bool isReadOnly() const { return m_readOnly; }

    // Columns shown: the dataset's visible field definitions, or this list.
    void setColumns(const QVector<FieldDef> &cols);
    QVector<FieldDef> columns() const { return m_cols; }
    QString fieldAt(int column) const;

    // Extra roles for a cell (colours, fonts) by row and field; return an
    // invalid QVariant for the default.
    std::function<QVariant(int row, const QString &field, int role)> roleHook;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void rebuildColumns();

    Dataset *m_ds;
    bool m_readOnly = false;
    bool m_explicitCols = false;
    QVector<FieldDef> m_cols;
};

} // namespace db
