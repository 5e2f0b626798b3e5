#pragma once

#include "db/DatasetModel.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Database;
class QSqlQuery;

// The dataset `Address`: the addresses of one route, as its query text
// selects them, and at the same time the model the address grid `DBGrid2`
// shows, with one editable column, routeaddressaddress.
//
// Every row keeps the routeaddressid it was read with, and every change is
// written back at once by that key: an edit or a deletion reaches exactly the
// row shown, even where the database's collation holds two addresses equal
// that differ in case, accents or trailing blanks. Rows appended get the
// loaded route's id.
//
// While the user appends, the model has one row more than the dataset: an
// empty row after the last, only in the grid. It becomes a stored row when
// text is entered into it, and goes away without a trace otherwise. The
// cursor (first/next/eof, the field) walks the stored rows only.
class AddressDataset : public DatasetModel {
    Q_OBJECT
public:
    explicit AddressDataset(Database& database, QObject* parent = nullptr);

    // The query text before the first route is loaded.
    static QStringList initialQueryLines();

    void close();
    // Replaces the query text (closing the dataset first). routeId is the
    // route whose rows it selects, the route that appended rows belong to;
    // -1 for a query over all routes, which takes no appended rows;
    // routeName is that route's domain name.
    void setQuery(const QStringList& lines, qint64 routeId, const QString& routeName = QString());
    // The route whose rows the query selects; -1 for all routes.
    qint64 routeId() const { return m_routeId; }
    // Its domain name as it was when its rows were selected: the grid shows
    // them also after the route itself was deleted.
    QString routeName() const { return m_routeName; }
    void open(); // raises DbError

    // Stored rows (the pending empty row not counted).
    int recordCount() const override { return int(m_rows.size()); }

    // Field of the current row; empty text without one.
    QString Addressrouteaddressaddress() const;

    // Changes of stored rows, each written to hm_routeaddresses at once
    // (DbError). An address cannot be emptied: that is refused, the row
    // keeps its text.
    void setAddress(int row, const QString& address);
    void deleteRow(int row);

    // The empty row for appending: added once, its row number returned.
    int appendPendingRow();
    void cancelPendingRow();
    bool isPendingRow(int row) const { return m_pending && row == recordCount(); }

    // The model: the stored rows, then the pending row while there is one.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of a stored row updates it; text entered into the pending row
    // stores it (the empty text leaves it pending, text the database refuses
    // stays shown in it, unstored).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Deletes stored rows; the pending row, when among them, just goes.
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    struct Row {
        qint64 id = 0; // routeaddressid
        QString address;
    };
    void checkRow(int row) const;
    qint64 insertRow(const QString& address);
    bool rowExists(qint64 id);
    void checkCharacters(const QString& address);

    Database& m_database;
    QStringList m_lines;
    // The route the query selects; -1 (the initial query) for all routes.
    qint64 m_routeId = -1;
    QString m_routeName;
    QVector<Row> m_rows;
    bool m_pending = false;
    QString m_pendingText;     // what the database refused to store in it
    bool m_cancelling = false; // the pending row is going
};
