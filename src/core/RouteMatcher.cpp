#include "core/RouteMatcher.h"

#include <algorithm>

RouteMatcher::RouteMatcher(QStringList lowerNames, const QString& domainFilter)
    : m_names(std::move(lowerNames)), m_allRoutes(domainFilter == QStringLiteral("*")) {
    if (m_allRoutes) {
        m_index.reserve(m_names.size());
        for (int i = 0; i < m_names.size(); ++i) {
            if (!m_index.contains(m_names.at(i))) {
                m_index.insert(m_names.at(i), i);
            }
            m_lengths.push_back(m_names.at(i).size());
        }
        std::sort(m_lengths.begin(), m_lengths.end());
        m_lengths.erase(std::unique(m_lengths.begin(), m_lengths.end()), m_lengths.end());
        return;
    }
    if (!domainFilter.startsWith(u'@')) {
        return;
    }
    const QStringView filterName = QStringView(domainFilter).mid(1);
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i) == filterName) {
            m_filterRoute = i;
            m_filter.setPattern(domainFilter);
            break;
        }
    }
}

int RouteMatcher::routeFor(QStringView lowerEntry) const {
    if (!m_allRoutes) {
        if (m_filterRoute < 0 || m_filter.indexIn(lowerEntry) < 0) {
            return -1;
        }
        return m_filterRoute;
    }
    int best = -1;
    for (qsizetype at = lowerEntry.indexOf(u'@'); at >= 0; at = lowerEntry.indexOf(u'@', at + 1)) {
        const QStringView tail = lowerEntry.mid(at + 1);
        for (const qsizetype length : m_lengths) {
            if (length > tail.size()) {
                break;
            }
            const int route = m_index.value(tail.first(length), -1);
            if (route >= 0 && (best < 0 || route < best)) {
                best = route;
                if (best == 0) {
                    return best;
                }
            }
        }
    }
    return best;
}
