#pragma once

#include <gumbo.h>

#include <vector>

namespace BookmarkImport::detail {

// The page as a tree that can be regrouped and walked without recursion.
struct Node {
    const GumboNode* g = nullptr;
    int parent = -1;
    int first = -1;
    int last = -1;
    int next = -1;
};

class Page {
public:
    explicit Page(const GumboNode* body) { build(body); }

    int size() const { return int(m_nodes.size()); }
    const Node& at(int i) const { return m_nodes[size_t(i)]; }

    // The HTML tag of an element, GUMBO_TAG_LAST for anything else.
    GumboTag tag(int i) const {
        const GumboNode* g = at(i).g;
        if ((g->type != GUMBO_NODE_ELEMENT && g->type != GUMBO_NODE_TEMPLATE) ||
            g->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            return GUMBO_TAG_LAST;
        return g->v.element.tag;
    }
    bool isElement(int i) const {
        return at(i).g->type == GUMBO_NODE_ELEMENT || at(i).g->type == GUMBO_NODE_TEMPLATE;
    }

    // The H3 that is the element's first child (blank text before it does
    // not count), or -1.
    int headingOf(int i) const {
        int c = at(i).first;
        while (c >= 0 && at(c).g->type == GUMBO_NODE_WHITESPACE)
            c = at(c).next;
        return c >= 0 && tag(c) == GUMBO_TAG_H3 ? c : -1;
    }

    // A heading's list may come after something else (a folder description,
    // a rule); the parser then closes the heading's element before the list.
    // Such a list, and what stands between, is moved into the heading's
    // element, so the list belongs to its heading as in a plain folder. This
    // keeps the document order, so positions in the page do not change.
    void groupListsWithHeadings() {
        std::vector<char> holdsList(size_t(size()), 0);
        for (int i = size() - 1; i > 0; --i) {
            if (tag(i) == GUMBO_TAG_DL || holdsList[size_t(i)])
                holdsList[size_t(at(i).parent)] = 1;
        }
        for (int e = 1; e < size(); ++e) {
            if (holdsList[size_t(e)] || headingOf(e) < 0)
                continue;
            int s = at(e).next;
            int found = -1;
            while (s >= 0) {
                if (isElement(s)) {
                    if (tag(s) == GUMBO_TAG_DT || headingOf(s) >= 0)
                        break;
                    if (tag(s) == GUMBO_TAG_DL || holdsList[size_t(s)]) {
                        found = s;
                        break;
                    }
                }
                s = at(s).next;
            }
            if (found < 0)
                continue;
            moveSiblingsInto(e, found);
            holdsList[size_t(e)] = 1;
        }
    }

    // Elements in document order (the body's "All") and, for each node, where
    // its descendants end in that order.
    void index() {
        const int n = size();
        m_end.assign(size_t(n), 0);
        for (int i = n - 1; i >= 0; --i)
            m_end[size_t(i)] = at(i).last < 0 ? i + 1 : m_end[size_t(at(i).last)];
        m_before.assign(size_t(n) + 1, 0);
        for (int i = 0; i < n; ++i) {
            const bool counted = i > 0 && isElement(i);
            m_before[size_t(i) + 1] = m_before[size_t(i)] + (counted ? 1 : 0);
            if (counted)
                m_elements.push_back(i);
        }
    }
    const std::vector<int>& elements() const { return m_elements; }
    // Range of an element's descendant elements within elements().
    int allBegin(int i) const { return m_before[size_t(i) + 1]; }
    int allEnd(int i) const { return m_before[size_t(m_end[size_t(i)])]; }

private:
    void build(const GumboNode* body) {
        std::vector<std::pair<const GumboNode*, int>> stack;
        stack.emplace_back(body, -1);
        while (!stack.empty()) {
            const auto [g, parent] = stack.back();
            stack.pop_back();
            if (g->type == GUMBO_NODE_COMMENT)
                continue;
            const int id = size();
            Node node;
            node.g = g;
            node.parent = parent;
            m_nodes.push_back(node);
            if (parent >= 0) {
                Node& p = m_nodes[size_t(parent)];
                if (p.last >= 0)
                    m_nodes[size_t(p.last)].next = id;
                else
                    p.first = id;
                p.last = id;
            }
            // A template's content is not part of the page.
            if (g->type == GUMBO_NODE_ELEMENT) {
                const GumboVector& children = g->v.element.children;
                for (unsigned k = children.length; k > 0; --k)
                    stack.emplace_back(static_cast<const GumboNode*>(children.data[k - 1]), id);
            }
        }
    }

    void moveSiblingsInto(int e, int lastMoved) {
        Node& target = m_nodes[size_t(e)];
        const int firstMoved = target.next;
        const int parent = target.parent;
        target.next = m_nodes[size_t(lastMoved)].next;
        if (m_nodes[size_t(parent)].last == lastMoved)
            m_nodes[size_t(parent)].last = e;
        for (int s = firstMoved;; s = m_nodes[size_t(s)].next) {
            m_nodes[size_t(s)].parent = e;
            if (s == lastMoved)
                break;
        }
        m_nodes[size_t(lastMoved)].next = -1;
        if (target.last >= 0)
            m_nodes[size_t(target.last)].next = firstMoved;
        else
            target.first = firstMoved;
        target.last = lastMoved;
    }

    std::vector<Node> m_nodes;
    std::vector<int> m_end;
    std::vector<int> m_before;
    std::vector<int> m_elements;
};

} // namespace BookmarkImport::detail
