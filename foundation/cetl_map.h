// cetl::map, an ordered multimap kept as a skip list over a doubly linked
// chain, and its variants: safemap answers missing keys with a default value,
// stringmap is a safemap keyed by text compared without case.
#pragma once

#include "cetl_list.h"
#include "tl_string.h"

#include <stdlib.h>

namespace cetl {

template <class K, class V>
class map {
public:
    static const DWORD kMaxLevels = 64;

    struct mynodetype {
        mynodetype* forward[kMaxLevels];
        mynodetype* prev;
        mynodetype* next;
        K key;
        V value;
        DWORD levels;
        mynodetype(const K& nodeKey, const V& nodeValue, DWORD nodeLevels)
            : forward(), prev(nullptr), next(nullptr), key(nodeKey), value(nodeValue), levels(nodeLevels) {}
    };
    // The head holds only the links that start every level.
    struct myheadtype {
        mynodetype* forward[kMaxLevels];
    };

    // A position in key order.
    template <class Ref>
    class basic_iterator : public detail::chain_position<basic_iterator<Ref>, map, mynodetype> {
        typedef detail::chain_position<basic_iterator<Ref>, map, mynodetype> position;

    public:
        basic_iterator() {}
        basic_iterator(const map* owner, mynodetype* node) : position(owner, node) {}
        template <class Other, class = std::enable_if_t<std::is_same<Ref, const V&>::value &&
                                                        std::is_same<Other, V&>::value>>
        basic_iterator(const basic_iterator<Other>& other) : position(other.owner(), other.node()) {}

        const K& key() const { return this->checked()->key; }
        Ref value() const { return this->checked()->value; }
        Ref operator*() const { return this->checked()->value; }
        std::remove_reference_t<Ref>* operator->() const { return &this->checked()->value; }
    };
    typedef basic_iterator<V&> iterator;
    typedef basic_iterator<const V&> const_iterator;

    // `probability` is the chance that a node reaches the next level; it is
    // kept as a whole percentage, rounded so that 0.79 stays 79. Levels are
    // limited to 1 to 64.
    explicit map(float probability = 0.5f, DWORD levels = 16)
        : m_promotion(percentageOf(probability)), m_levels(levels < 1            ? 1
                                                           : levels > kMaxLevels ? kMaxLevels
                                                                                 : levels),
          m_count(0), m_head(), m_first(nullptr), m_last(nullptr) {}
    map(const map& other)
        : m_promotion(other.m_promotion), m_levels(other.m_levels), m_count(0), m_head(), m_first(nullptr),
          m_last(nullptr) {
        append(other);
    }
    map& operator=(const map& other) {
        if (this != &other) {
            clear();
            m_promotion = other.m_promotion;
            m_levels = other.m_levels;
            append(other);
        }
        return *this;
    }
    ~map() { clear(); }

    LONG promotion() const { return m_promotion; }
    DWORD levels() const { return m_levels; }
    DWORD size() const { return m_count; }
    bool empty() const { return m_count == 0; }

    // Adds the key even when an equal one exists; the new one goes after the
    // existing ones and from then on is the one that lookups find.
    V& insert(const K& key) { return insert(key, V()); }
    V& insert(const K& key, const V& value) {
        mynodetype* update[kMaxLevels];
        mynodetype* last = descend(key, update);
        mynodetype* node =
            detail::track(new mynodetype(key, value, drawLevels()), "mynodetype", kMapFile, __LINE__);
        for (DWORD level = 0; level < node->levels; ++level) {
            mynodetype*& link = linkAfter(update[level], level);
            node->forward[level] = link;
            link = node;
        }
        node->prev = last;
        node->next = last ? last->next : m_first;
        (node->prev ? node->prev->next : m_first) = node;
        (node->next ? node->next->prev : m_last) = node;
        ++m_count;
        return node->value;
    }

    // The value of the key; a missing key fails.
    V& at(const K& key) { return found(key)->value; }
    const V& at(const K& key) const { return found(key)->value; }

    // The value of the key, inserted with a default-constructed value when missing.
    V& operator[](const K& key) {
        mynodetype* node = findNode(key);
        return node ? node->value : insert(key);
    }

    bool exists(const K& key) const { return findNode(key) != nullptr; }

    iterator find(const K& key) { return iterator(this, findNode(key)); }
    const_iterator find(const K& key) const { return const_iterator(this, findNode(key)); }

    // Removes the key that lookups find; a missing key fails.
    void erase(const K& key) { unlink(found(key)); }
    // Removes the node at `position` and returns the position after it.
    iterator erase(const_iterator position) {
        mynodetype* node = position.node();
        if (position.owner() != this || !node) fail(failInvalidIterator);
        mynodetype* after = node->next;
        unlink(node);
        return iterator(this, after);
    }

    // Releases every node, from the first to the last.
    void clear() {
        mynodetype* node = m_first;
        m_head = myheadtype();
        m_first = m_last = nullptr;
        m_count = 0;
        while (node) {
            mynodetype* next = node->next;
            detail::untrack(node, kMapFile, __LINE__);
            node = next;
        }
    }

    iterator begin() { return iterator(this, m_first); }
    iterator end() { return iterator(this, nullptr); }
    iterator rbegin() { return iterator(this, m_last); }
    iterator rend() { return iterator(this, nullptr); }
    const_iterator begin() const { return const_iterator(this, m_first); }
    const_iterator end() const { return const_iterator(this, nullptr); }
    const_iterator rbegin() const { return const_iterator(this, m_last); }
    const_iterator rend() const { return const_iterator(this, nullptr); }

private:
    static LONG percentageOf(float probability) {
        if (!(probability > 0.0f)) return 0; // also a NaN
        if (probability >= 1.0f) return 100;
        return static_cast<LONG>(probability * 100.0f + 0.5f);
    }

    // The forward link of `node` at `level`; a null node stands for the head.
    mynodetype*& linkAfter(mynodetype* node, DWORD level) {
        return node ? node->forward[level] : m_head.forward[level];
    }
    mynodetype* linkAfter(mynodetype* node, DWORD level) const {
        return node ? node->forward[level] : m_head.forward[level];
    }

    // From the top level down, moves forward while the next key is not greater
    // than `key`, remembering the last node of each level in `update` (null
    // for the head). Returns the last node of the chain not greater than `key`.
    mynodetype* descend(const K& key, mynodetype** update) const {
        mynodetype* node = nullptr;
        for (DWORD level = m_levels; level-- > 0;) {
            for (mynodetype* next = linkAfter(node, level); next && next->key <= key;
                 next = linkAfter(node, level)) {
                node = next;
            }
            if (update) update[level] = node;
        }
        return node;
    }

    // The newest node whose key equals `key`, or null.
    mynodetype* findNode(const K& key) const {
        mynodetype* node = descend(key, nullptr);
        if (!node) node = m_first;
        while (node && node->key < key) node = node->next;
        return node && node->key == key ? node : nullptr;
    }

    mynodetype* found(const K& key) const {
        mynodetype* node = findNode(key);
        if (!node) fail(failNotInMap);
        return node;
    }

    // One draw of the runtime's rand per level reached, stopping at the first
    // draw not below the promotion percentage.
    DWORD drawLevels() const {
        DWORD levels = 0;
        while (levels < m_levels) {
            ++levels;
            if (rand() % 100 >= m_promotion) break;
        }
        return levels;
    }

    void unlink(mynodetype* node) {
        // Equal keys may precede the node on any level, so each level walks
        // from the last smaller key to the node itself.
        mynodetype* before = nullptr;
        for (DWORD level = m_levels; level-- > 0;) {
            for (mynodetype* next = linkAfter(before, level); next && next->key < node->key;
                 next = linkAfter(before, level)) {
                before = next;
            }
            if (level >= node->levels) continue;
            mynodetype* walker = before;
            for (mynodetype* next = linkAfter(walker, level); next && next != node;
                 next = linkAfter(walker, level)) {
                walker = next;
            }
            mynodetype*& link = linkAfter(walker, level);
            if (link == node) link = node->forward[level];
        }
        (node->prev ? node->prev->next : m_first) = node->next;
        (node->next ? node->next->prev : m_last) = node->prev;
        --m_count;
        detail::untrack(node, kMapFile, __LINE__);
    }

    void append(const map& other) {
        for (mynodetype* node = other.m_first; node; node = node->next) insert(node->key, node->value);
    }

    LONG m_promotion;
    DWORD m_levels;
    DWORD m_count;
    myheadtype m_head;
    mynodetype* m_first;
    mynodetype* m_last;
};

// A map that answers a missing key with a stored default instead of failing.
template <class K, class V>
class safemap : public map<K, V> {
public:
    explicit safemap(float probability = 0.5f, DWORD levels = 16, const V& defaultValue = V())
        : map<K, V>(probability, levels), m_default(defaultValue) {}

    // The key's value; a missing key is inserted with a default-constructed value.
    virtual V& operator[](const K& key) { return map<K, V>::operator[](key); }
    // The key's value, or the stored default when the key is missing; nothing is inserted.
    virtual const V& lookup(const K& key) const {
        typename map<K, V>::const_iterator position = this->find(key);
        return position != this->end() ? position.value() : m_default;
    }
    virtual bool exists(const K& key) const { return map<K, V>::exists(key); }
    virtual void set(const K& key, const V& value) { (*this)[key] = value; }
    // A copy of the key's value, or of `fallback` when the key is missing.
    virtual V get(const K& key, const V& fallback) const {
        typename map<K, V>::const_iterator position = this->find(key);
        return position != this->end() ? position.value() : fallback;
    }
    // A copy of the key's value, or of the stored default when the key is missing.
    virtual V get(const K& key) const { return lookup(key); }
    // Last, so that the operations above keep their places in the table.
    virtual ~safemap() {}

    const V& defaultValue() const { return m_default; }
    void setDefaultValue(const V& value) { m_default = value; }

private:
    V m_default;
};

// A safemap keyed by text compared without case.
template <class V>
class stringmap : public safemap<istring, V> {
public:
    explicit stringmap(float probability = 0.5f, DWORD levels = 16, const V& defaultValue = V())
        : safemap<istring, V>(probability, levels, defaultValue) {}
};

} // namespace cetl
