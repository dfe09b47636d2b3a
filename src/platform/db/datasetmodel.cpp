#include "platform/db/datasetmodel.h"

namespace db {

DatasetModel::DatasetModel(Dataset *ds, QObject *parent)
    : QAbstractTableModel(parent)
    , m_ds(ds)
{
    connect(ds, &Dataset::reset, this, [this]() {
        beginResetModel();
        rebuildColumns();
        endResetModel();
    });
    connect(ds, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && !m_cols.isEmpty())
            emit dataChanged(index(row, 0), index(row, m_cols.size() - 1));
    });
    connect(ds, &Dataset::rowInserted, this, [this](int row) {
        beginInsertRows(QModelIndex(), row, row);
        endInsertRows();
    });
    connect(ds, &Dataset::rowRemoved, this, [this](int row) {
        // The dataset has already dropped the row; a reset keeps views exact.
        Q_UNUSED(row);
        beginResetModel();
        endResetModel();
    });
    rebuildColumns();
}

void DatasetModel::setColumns(const QVector<FieldDef> &cols)
{
    beginResetModel();
    m_cols = cols;
    m_explicitCols = true;
    endResetModel();
}

void DatasetModel::rebuildColumns()
{
    if (m_explicitCols)
        return;
    m_cols.clear();
    for (const FieldDef &d : m_ds->fieldDefs())
        if (d.visible)
            m_cols.append(d);
}

QString DatasetModel::fieldAt(int column) const
{
    return column >= 0 && column < m_cols.size() ? m_cols[column].name : QString();
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_ds->recordCount();
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols.size();
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const QString field = fieldAt(index.column());
    if (roleHook) {
        const QVariant v = roleHook(index.row(), field, role);
        if (v.isValid())
            return v;
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const QVariant v = m_ds->valueAt(index.row(), field);
        if (!v.isValid() || v.isNull())
            return role == Qt::EditRole ? QVariant(QString()) : QVariant();
        if (v.typeId() == QMetaType::Double) {
            // Show doubles as their shortest text, as the grid always did.
            return QString::number(v.toDouble(), 'g', 15);
        }
        // Cells are edited as text whatever the column holds, so that every
        // typed value meets the field's own check (a spin box would take
        // numbers beyond the column's range and refuse others silently).
        return role == Qt::EditRole ? QVariant(v.toString()) : v;
    }
    return QVariant();
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || m_readOnly)
        return false;
    const QString field = fieldAt(index.column());
    if (m_ds->currentRow() != index.row() && !m_ds->setRecNo(index.row() + 1))
        return false;
    QVariant v = value;
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        v = QVariant();
    return m_ds->setValue(field, v);
}

QVariant DatasetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_cols.size())
        return m_cols[section].label.isEmpty() ? m_cols[section].name : m_cols[section].label;
    if (o == Qt::Vertical && role == Qt::DisplayRole)
        return QVariant();
    return QAbstractTableModel::headerData(section, o, role);
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && !m_readOnly && index.column() < m_cols.size() && !m_cols[index.column()].readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

} // namespace db
