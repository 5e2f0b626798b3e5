#pragma once

#include <QString>
#include <QStringList>

// The hidden list box `Liste`: the working list of lines. Unsorted at first;
// once switched to sorted it keeps its lines in alphabetical order.
class WorkingList {
public:
    void clear() { m_lines.clear(); }
    void setSorted(bool sorted);
    bool sorted() const { return m_sorted; }

    // Replaces the content; a sorted list puts the lines in its order.
    void assign(QStringList lines);
    // Adds a line, where a sorted list puts it in order; returns its index.
    int add(const QString& line);

    int count() const { return m_lines.size(); }
    const QString& at(int index) const { return m_lines.at(index); }
    void replace(int index, const QString& line) { m_lines[index] = line; }
    const QStringList& lines() const { return m_lines; }

    // The list's collation: ASCII case ignored first, then exact order.
    static bool lessThan(const QString& a, const QString& b);

private:
    QStringList m_lines;
    bool m_sorted = false;
};
