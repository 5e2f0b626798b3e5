#include "core/PatternTrie.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cassert>

PatternTrie::PatternTrie() : m_nodes(1) {}

void PatternTrie::add(QStringView pattern) {
    assert(!m_built);
    if (!pattern.isEmpty()) {
        m_patterns.push_back(pattern.toString());
    }
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
    m_patternCount = static_cast<int>(m_patterns.size());
    if (m_patternCount > 0) {
        makeNodes();
        makeLinks();
    }
}

// In sorted order a pattern shares its first nodes with the one before it,
// and each node's children come into being in the order of their
// characters; so the trie needs no per-node lists while it grows, only each
// node's parent and character.
void PatternTrie::makeNodes() {
    // By UTF-16 code unit, the order child() searches in.
    std::sort(m_patterns.begin(), m_patterns.end(), [](const QString& a, const QString& b) {
        return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(),
                                            b.utf16() + b.size());
    });
    std::vector<int> parent{-1};
    std::vector<char16_t> letter{0};
    std::vector<int> path; // the nodes of the pattern before, by depth
    std::vector<int> ends;
    QStringView previous;
    for (const QString& pattern : m_patterns) {
        qsizetype shared = 0;
        while (shared < pattern.size() && shared < previous.size() &&
               pattern[shared] == previous[shared]) {
            ++shared;
        }
        path.resize(static_cast<size_t>(shared));
        int node = path.empty() ? 0 : path.back();
        for (qsizetype i = shared; i < pattern.size(); ++i) {
            parent.push_back(node);
            letter.push_back(pattern[i].unicode());
            node = static_cast<int>(parent.size()) - 1;
            path.push_back(node);
        }
        ends.push_back(node);
        previous = pattern;
    }
    m_patterns.clear();
    m_patterns.shrink_to_fit();

    m_nodes.resize(parent.size());
    for (const int node : ends) {
        m_nodes[static_cast<size_t>(node)].terminal = true;
    }

    for (size_t v = 1; v < parent.size(); ++v) {
        ++m_nodes[static_cast<size_t>(parent[v])].childCount;
    }
    int begin = 0;
    for (Node& node : m_nodes) {
        node.childBegin = begin;
        begin += node.childCount;
    }
    m_childChars.resize(static_cast<size_t>(begin));
    m_childNodes.resize(static_cast<size_t>(begin));
    std::vector<int> filled(m_nodes.size());
    for (size_t v = 1; v < parent.size(); ++v) {
        const size_t p = static_cast<size_t>(parent[v]);
        const size_t slot = static_cast<size_t>(m_nodes[p].childBegin + filled[p]++);
        m_childChars[slot] = letter[v];
        m_childNodes[slot] = static_cast<int>(v);
    }
}

// Fail links in breadth-first order: a node's link is the longest proper
// suffix of its text that is also a node.
void PatternTrie::makeLinks() {
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
