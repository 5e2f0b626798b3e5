#include "core/PatternTrie.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cassert>

PatternTrie::PatternTrie() : m_nodes(1), m_pending(1) {}

int PatternTrie::addChild(int node, char16_t c) {
    for (const auto& [ch, target] : m_pending[node]) {
        if (ch == c) {
            return target;
        }
    }
    const int created = static_cast<int>(m_nodes.size());
    m_nodes.emplace_back();
    m_pending.emplace_back();
    m_pending[node].emplace_back(c, created);
    return created;
}

void PatternTrie::add(QStringView pattern) {
    assert(!m_built);
    if (pattern.isEmpty()) {
        return;
    }
    int node = 0;
    for (const QChar c : pattern) {
        node = addChild(node, c.unicode());
    }
    m_nodes[node].terminal = true;
    ++m_patternCount;
}

int PatternTrie::child(int node, char16_t c) const {
    const Node& n = m_nodes[node];
    const auto begin = m_childChars.begin() + n.childBegin;
    const auto end = begin + n.childCount;
    const auto it = std::lower_bound(begin, end, c);
    if (it == end || *it != c) {
        return -1;
    }
    return m_childNodes[static_cast<size_t>(it - m_childChars.begin())];
}

void PatternTrie::build() {
    assert(!m_built);
    m_built = true;
    if (m_patternCount == 0) {
        m_pending.clear();
        return;
    }
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        auto& children = m_pending[i];
        std::sort(children.begin(), children.end());
        m_nodes[i].childBegin = static_cast<int>(m_childChars.size());
        m_nodes[i].childCount = static_cast<int>(children.size());
        for (const auto& [ch, target] : children) {
            m_childChars.push_back(ch);
            m_childNodes.push_back(target);
        }
    }
    m_pending.clear();
    m_pending.shrink_to_fit();

    // Fail links in breadth-first order: a node's link is the longest proper
    // suffix of its text that is also a node.
    std::vector<int> queue;
    queue.reserve(m_nodes.size());
    m_nodes[0].output = false;
    for (int k = 0; k < m_nodes[0].childCount; ++k) {
        const int v = m_childNodes[static_cast<size_t>(m_nodes[0].childBegin + k)];
        m_nodes[v].fail = 0;
        m_nodes[v].output = m_nodes[v].terminal;
        queue.push_back(v);
    }
    for (size_t head = 0; head < queue.size(); ++head) {
        const int u = queue[head];
        const Node node = m_nodes[u];
        for (int k = 0; k < node.childCount; ++k) {
            const size_t slot = static_cast<size_t>(node.childBegin + k);
            const char16_t c = m_childChars[slot];
            const int v = m_childNodes[slot];
            int f = node.fail;
            int link = 0;
            for (;;) {
                const int g = child(f, c);
                if (g >= 0) {
                    link = g;
                    break;
                }
                if (f == 0) {
                    break;
                }
                f = m_nodes[f].fail;
            }
            m_nodes[v].fail = link;
            m_nodes[v].output = m_nodes[v].terminal || m_nodes[link].output;
            queue.push_back(v);
        }
    }
}

bool PatternTrie::containsAny(QStringView text) const {
    assert(m_built);
    if (m_patternCount == 0) {
        return false;
    }
    int state = 0;
    for (const QChar ch : text) {
        const char16_t c = AsciiCase::lower(ch.unicode());
        for (;;) {
            const int g = child(state, c);
            if (g >= 0) {
                state = g;
                break;
            }
            if (state == 0) {
                break;
            }
            state = m_nodes[state].fail;
        }
        if (m_nodes[state].output) {
            return true;
        }
    }
    return false;
}

bool PatternTrie::prefixOf(QStringView text) const {
    assert(m_built);
    if (m_patternCount == 0) {
        return false;
    }
    int state = 0;
    for (const QChar ch : text) {
        state = child(state, AsciiCase::lower(ch.unicode()));
        if (state < 0) {
            return false;
        }
        if (m_nodes[state].terminal) {
            return true;
        }
    }
    return false;
}
