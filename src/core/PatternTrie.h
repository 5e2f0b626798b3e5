#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// A set of lower-case texts for fast tests against many subjects: whether a
// subject contains any of them (one pass over the subject, Aho-Corasick), and
// whether it begins with any of them; the subject's case of A to Z is
// ignored, so it need not be lower-cased first. Empty texts are never added:
// they match nothing.
class PatternTrie {
public:
    PatternTrie();

    // The pattern as it is matched: lower-cased already. Kept until build.
    void add(QStringView pattern);
    // Makes the trie from the patterns added, and the links for containsAny;
    // call once after the last add.
    void build();

    // True when some pattern occurs anywhere in text.
    bool containsAny(QStringView text) const;
    // True when text begins with some pattern.
    bool prefixOf(QStringView text) const;

private:
    struct Node {
        int fail = 0;
        int childBegin = 0; // into m_childChars / m_childNodes once built
        int childCount = 0;
        bool terminal = false; // a pattern ends here
        bool output = false;   // a pattern ends here or at a node of the fail chain
    };
    int child(int node, char16_t c) const;
    void makeNodes();
    void makeLinks();

    std::vector<QString> m_patterns; // until build
    std::vector<Node> m_nodes;
    // The children of all nodes, each node's in one run sorted by character.
    std::vector<char16_t> m_childChars;
    std::vector<int> m_childNodes;
    int m_patternCount = 0;
    bool m_built = false;
};
