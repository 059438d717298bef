// cetl::list: a doubly linked list that owns copies of its elements, with
// checked iterators in both directions; every node is a tracked object.
#pragma once

#include "cetl_failure.h"
#include "mem_manager.h"

#include <new>
#include <type_traits>

namespace cetl {

// The source names under which container allocations are tracked. List nodes
// are registered under the forward-slash spelling, everything else of the
// list under the backslash one.
inline constexpr char kListFile[] = "c:\\src\\wince\\cetl\\list";
inline constexpr char kListNodeFile[] = "c:\\src\\wince\\cetl/list";
inline constexpr char kVectorFile[] = "c:\\src\\wince\\cetl\\vector";
inline constexpr char kMapFile[] = "c:\\src\\wince\\cetl\\map";

namespace detail {

// Records a freshly made object with the memory manager. An object that cannot
// be recorded is destroyed again and reported as a failed allocation, the way
// a failed `new` is, so that no untracked object is ever handed out.
template <class Object>
Object* track(Object* object, const char* tag, const char* file, LONG line) {
    if (!MemRegisterObject(object, sizeof(Object), tag, file, line)) {
        delete object;
        throw std::bad_alloc();
    }
    return object;
}

template <class Object>
void untrack(Object* object, const char* file, LONG line) {
    MemUnregisterObject(object, file, line);
    delete object;
}

// The postfix steps of an iterator, made from its prefix steps. An iterator
// that declares its own prefix steps brings these in with `using`.
template <class Derived>
class postfix_steps {
public:
    Derived operator++(int) {
        Derived before = self();
        ++self();
        return before;
    }
    Derived operator--(int) {
        Derived before = self();
        --self();
        return before;
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

// A position in one container's chain of nodes linked by `prev` and `next`: a
// node, or null for the end. The null position lies beyond both ends, so
// stepping either way from it fails.
template <class Derived, class Owner, class Node>
class chain_position : public postfix_steps<Derived> {
public:
    using postfix_steps<Derived>::operator++;
    using postfix_steps<Derived>::operator--;

    chain_position() : m_owner(nullptr), m_node(nullptr) {}
    chain_position(const Owner* owner, Node* node) : m_owner(owner), m_node(node) {}

    Derived& operator++() {
        if (!m_node) fail(failIteratorAtEnd);
        m_node = m_node->next;
        return static_cast<Derived&>(*this);
    }
    Derived& operator--() {
        if (!m_node) fail(failIteratorAtBeginning);
        m_node = m_node->prev;
        return static_cast<Derived&>(*this);
    }
    bool operator==(const chain_position& other) const { return m_node == other.m_node; }
    bool operator!=(const chain_position& other) const { return m_node != other.m_node; }

    const Owner* owner() const { return m_owner; }
    Node* node() const { return m_node; }

protected:
    // The node of a position that must reference an element.
    Node* checked() const {
        if (!m_node) fail(failInvalidIterator);
        return m_node;
    }

private:
    const Owner* m_owner;
    Node* m_node;
};

} // namespace detail

template <class T>
class list {
public:
    struct mynodetype {
        mynodetype* prev;
        mynodetype* next;
        T element;
        explicit mynodetype(const T& value) : prev(nullptr), next(nullptr), element(value) {}
    };

    // A position in one list.
    template <class Ref>
    class basic_iterator : public detail::chain_position<basic_iterator<Ref>, list, mynodetype> {
        typedef detail::chain_position<basic_iterator<Ref>, list, mynodetype> position;

    public:
        basic_iterator() {}
        basic_iterator(const list* owner, mynodetype* node) : position(owner, node) {}
        // A mutable iterator may be used where a read-only one is expected.
        template <class Other, class = std::enable_if_t<std::is_same<Ref, const T&>::value &&
                                                        std::is_same<Other, T&>::value>>
        basic_iterator(const basic_iterator<Other>& other) : position(other.owner(), other.node()) {}

        Ref operator*() const { return this->checked()->element; }
        std::remove_reference_t<Ref>* operator->() const { return &**this; }
    };
    typedef basic_iterator<T&> iterator;
    typedef basic_iterator<const T&> const_iterator;

    list() : m_count(0), m_first(nullptr), m_last(nullptr) {}
    list(const list& other) : m_count(0), m_first(nullptr), m_last(nullptr) { append(other); }
    list& operator=(const list& other) {
        if (this != &other) {
            clear();
            append(other);
        }
        return *this;
    }
    ~list() { clear(); }

    DWORD size() const { return m_count; }
    bool empty() const { return m_count == 0; }

    iterator push_back(const T& value) { return insert(end(), value); }

    // Inserts before `position`; the end position appends.
    iterator insert(const_iterator position, const T& value) {
        mynodetype* before = checkedNode(position, true);
        mynodetype* node = detail::track(new mynodetype(value), "mynodetype", kListNodeFile, __LINE__);
        node->next = before;
        node->prev = before ? before->prev : m_last;
        (node->prev ? node->prev->next : m_first) = node;
        (before ? before->prev : m_last) = node;
        ++m_count;
        return iterator(this, node);
    }

    T& front() {
        if (!m_first) fail(failListEmpty);
        return m_first->element;
    }
    const T& front() const {
        if (!m_first) fail(failListEmpty);
        return m_first->element;
    }
    T& back() {
        if (!m_last) fail(failListEmpty);
        return m_last->element;
    }
    const T& back() const {
        if (!m_last) fail(failListEmpty);
        return m_last->element;
    }
    void pop_front() {
        if (!m_first) fail(failListEmpty);
        erase(begin());
    }

    // The first node holding an element equal to `value`.
    iterator find(const T& value) {
        for (mynodetype* node = m_first; node; node = node->next) {
            if (node->element == value) return iterator(this, node);
        }
        fail(failNotInList);
    }
    const_iterator find(const T& value) const { return const_cast<list*>(this)->find(value); }

    // Removes the element at `position` and returns the position after it.
    iterator erase(const_iterator position) {
        mynodetype* node = checkedNode(position, false);
        mynodetype* after = node->next;
        (node->prev ? node->prev->next : m_first) = node->next;
        (node->next ? node->next->prev : m_last) = node->prev;
        --m_count;
        detail::untrack(node, kListFile, __LINE__);
        return iterator(this, after);
    }

    // Releases every node, from the first to the last.
    void clear() {
        mynodetype* node = m_first;
        m_first = m_last = nullptr;
        m_count = 0;
        while (node) {
            mynodetype* next = node->next;
            detail::untrack(node, kListFile, __LINE__);
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
    // An iterator of another list would splice that list's nodes into this one.
    mynodetype* checkedNode(const_iterator position, bool endAllowed) const {
        if (position.owner() != this || (!position.node() && !endAllowed)) fail(failInvalidIterator);
        return position.node();
    }

    void append(const list& other) {
        for (mynodetype* node = other.m_first; node; node = node->next) push_back(node->element);
    }

    DWORD m_count;
    mynodetype* m_first;
    mynodetype* m_last;
};

} // namespace cetl
