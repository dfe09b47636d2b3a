#include "graphics/graphdata.h"

#include "platform/db/dataset.h"

#include <QSqlField>
#include <QSqlRecord>

namespace graphics {

QByteArray graphFieldBytes(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return v.toString().toLatin1();
}

GraphRow graphRowFrom(const QSqlRecord &record)
{
    GraphRow row;
    for (int n = 1; n <= 12; ++n) {
        const QString name = QStringLiteral("a%1").arg(n);
        for (int i = 0; i < record.count(); ++i) {
            if (record.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) {
                row.a[n] = graphFieldBytes(record.value(i));
                break;
            }
        }
    }
    return row;
}

GraphRow graphRowFrom(const db::Dataset &dataset)
{
    GraphRow row;
    for (int n = 1; n <= 12; ++n) {
        const QString name = QStringLiteral("a%1").arg(n);
        if (dataset.hasField(name))
            row.a[n] = graphFieldBytes(dataset.value(name));
    }
    return row;
}

std::optional<GraphRow> currentGraphRow(db::Dataset &dataset)
{
    if (!dataset.isOpen() && !dataset.open())
        return std::nullopt;
    if (dataset.isEmpty())
        return std::nullopt;
    return graphRowFrom(dataset);
}

} // namespace graphics
