#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <memory>

// A dataset read into memory, as its grid sees it: a model of one column, and
// a current row that the dataset's moves (first, next, eof) walk and that a
// dataset not open refuses. While the controls are disabled, the grid is not
// told where the current row goes.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    bool isOpen() const { return m_open; }
    // The rows the dataset holds (its grid may show one more).
    virtual int recordCount() const = 0;

    int currentRow() const { return m_current; } // -1 without rows
    // Within 0 and recordCount() (past the last row).
    void setCurrentRow(int row) { moveTo(row); }
    // Moves; a dataset that is not open refuses them (DbError).
    void first();
    void next();
    bool eof() const { return m_current < 0 || m_current >= recordCount(); }

    void disableControls();
    void enableControls();

    // Receives the message of a database error raised inside a model call
    // (which must not cross Qt's event loop); the call then returns false.
    void setErrorSink(std::function<void(const QString&)> sink) { m_errorSink = std::move(sink); }
    // Taken before each change of the table made through this dataset and
    // held until it is stored (the run lock); it raises a German error when
    // the change must not be made now.
    using ChangeGuard = std::function<std::shared_ptr<void>()>;
    void setChangeGuard(ChangeGuard guard) { m_changeGuard = std::move(guard); }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // The column's name across, the row's number down.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void currentRowChanged(int row);

protected:
    DatasetModel(QString columnName, QObject* parent);

    void requireOpen() const;
    // Replaces the rows (through `replace`) in one reset of the model; the
    // dataset is then open with its first row current, or closed.
    void resetRows(bool open, const std::function<void()>& replace);
    // Makes row (bounded as setCurrentRow) current and tells the grid if it
    // moved, or always with `tellAlways`.
    void moveTo(int row, bool tellAlways = false);
    // After row was removed: the current row keeps its record; where that was
    // the removed one, the following row becomes current (after the last, the
    // one before).
    void rowRemovedAt(int row);
    void reportError(const QString& message) const;
    // What the change guard gives, to hold while a change is stored.
    std::shared_ptr<void> guardChange() const;

private:
    QString m_columnName;
    int m_current = -1;
    bool m_open = false;
    int m_disabled = 0;
    std::function<void(const QString&)> m_errorSink;
    ChangeGuard m_changeGuard;
};
