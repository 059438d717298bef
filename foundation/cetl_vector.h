// cetl::vector: an indexed sequence kept as a list of blocks of item pointers,
// so that inserting and removing move at most one block's pointers and items
// never move in memory once made.
#pragma once

#include "cetl_list.h"

#include <string.h>

namespace cetl {

template <class T>
class vector {
public:
    // Every element lives in an item of its own; the header lets a heap walk
    // recognise an item and the vector that owns it.
    struct myitemtype {
        vector* owner;
        DWORD signature;
        T element;
        myitemtype(vector* vectorOwner, const T& value)
            : owner(vectorOwner), signature(kItemSignature), element(value) {}
    };
    struct myblocktype {
        vector* owner;
        myitemtype** items;
        DWORD count;
        DWORD capacity;
    };
    typedef list<myblocktype*> blocklist;
    typedef typename blocklist::mynodetype blocknode;

    static const DWORD kItemSignature = 0x6D657449; // "Item" in memory
    // A block never holds more item pointers than this.
    static const DWORD kBlockCapacity = 512;
    // Appending to a block that already holds this many starts a new block, so
    // that a block filled by appending keeps room for inserts before splitting.
    static const DWORD kBlockFill = 256;
    // A new block's array starts this small and doubles up to kBlockCapacity:
    // small vectors stay small, and a block costs at most one copy of its
    // pointers per doubling.
    static const DWORD kFirstArray = 16;

    // A position: a block and an index within it, or a null block for the end.
    // The null position lies beyond both ends, so stepping either way from it
    // fails.
    template <class Ref>
    class basic_iterator : public detail::postfix_steps<basic_iterator<Ref>> {
    public:
        using detail::postfix_steps<basic_iterator<Ref>>::operator++;
        using detail::postfix_steps<basic_iterator<Ref>>::operator--;

        basic_iterator() : m_owner(nullptr), m_block(nullptr), m_position(0) {}
        basic_iterator(const vector* owner, blocknode* block, DWORD position)
            : m_owner(owner), m_block(block), m_position(position) {}
        template <class Other, class = std::enable_if_t<std::is_same<Ref, const T&>::value &&
                                                        std::is_same<Other, T&>::value>>
        basic_iterator(const basic_iterator<Other>& other)
            : m_owner(other.owner()), m_block(other.block()), m_position(other.position()) {}

        Ref operator*() const {
            // A position left behind by a removal may point past its block's end.
            if (!m_block || m_position >= m_block->element->count) fail(failInvalidIterator);
            return m_block->element->items[m_position]->element;
        }
        std::remove_reference_t<Ref>* operator->() const { return &**this; }
        basic_iterator& operator++() {
            if (!m_block) fail(failIteratorAtEnd);
            if (++m_position >= m_block->element->count) {
                m_block = m_block->next;
                m_position = 0;
            }
            return *this;
        }
        basic_iterator& operator--() {
            if (!m_block) fail(failIteratorAtBeginning);
            if (m_position > 0) {
                --m_position;
            } else {
                m_block = m_block->prev;
                m_position = m_block ? m_block->element->count - 1 : 0;
            }
            return *this;
        }
        bool operator==(const basic_iterator& other) const {
            return m_block == other.m_block && m_position == other.m_position;
        }
        bool operator!=(const basic_iterator& other) const { return !(*this == other); }

        const vector* owner() const { return m_owner; }
        blocknode* block() const { return m_block; }
        DWORD position() const { return m_position; }

    private:
        const vector* m_owner;
        blocknode* m_block;
        DWORD m_position;
    };
    typedef basic_iterator<T&> iterator;
    typedef basic_iterator<const T&> const_iterator;

    vector() : m_count(0) {}
    vector(const vector& other) : m_count(0) { append(other); }
    vector& operator=(const vector& other) {
        if (this != &other) {
            clear();
            append(other);
        }
        return *this;
    }
    ~vector() { clear(); }

    DWORD size() const { return m_count; }
    bool empty() const { return m_count == 0; }

    // Beyond the end the vector first grows with default-constructed items up
    // to and including `index`; if that cannot be done it keeps its old size.
    T& operator[](DWORD index) {
        if (index >= m_count) extendThrough(index);
        DWORD position = index;
        myblocktype* block = locate(position)->element;
        return block->items[position]->element;
    }
    // A read-only vector cannot grow, so an index beyond its end fails.
    const T& operator[](DWORD index) const {
        DWORD position = index;
        myblocktype* block = locate(position)->element;
        return block->items[position]->element;
    }

    void push_back(const T& value) {
        myitemtype* item = makeItem(value);
        try {
            blocknode* last = m_blocks.rbegin().node();
            if (!last || last->element->count >= kBlockFill) {
                last = addBlock(m_blocks.end(), kFirstArray);
            }
            place(last->element, last->element->count, item);
        } catch (...) {
            detail::untrack(item, kVectorFile, __LINE__);
            throw;
        }
    }

    // Inserts before the item at `index`; an index equal to the size appends.
    void insert(DWORD index, const T& value) {
        if (index > m_count) fail(failNotInVector);
        if (index == m_count) {
            push_back(value);
            return;
        }
        DWORD position = index;
        blocknode* node = locate(position);
        myitemtype* item = makeItem(value);
        try {
            if (node->element->count >= kBlockCapacity) {
                blocknode* second = split(node);
                if (position >= kBlockCapacity / 2) {
                    node = second;
                    position -= kBlockCapacity / 2;
                }
            }
            place(node->element, position, item);
        } catch (...) {
            detail::untrack(item, kVectorFile, __LINE__);
            throw;
        }
    }

    // Removing never merges neighbouring blocks: a later insert would often
    // split them again. A block that becomes empty is released, so the walk
    // to an index never passes empty blocks.
    void erase(DWORD index) {
        if (index >= m_count) fail(failNotInVector);
        DWORD position = index;
        blocknode* node = locate(position);
        removeAt(node, position);
    }

    void clear() {
        for (blocknode* node = m_blocks.begin().node(); node; node = node->next) {
            myblocktype* block = node->element;
            for (DWORD i = 0; i < block->count; ++i) detail::untrack(block->items[i], kVectorFile, __LINE__);
            releaseBlock(block);
        }
        m_blocks.clear();
        m_count = 0;
    }

    iterator begin() { return iterator(this, m_blocks.begin().node(), 0); }
    iterator end() { return iterator(this, nullptr, 0); }
    iterator rbegin() { return lastPosition<iterator>(); }
    iterator rend() { return end(); }
    const_iterator begin() const { return const_iterator(this, m_blocks.begin().node(), 0); }
    const_iterator end() const { return const_iterator(this, nullptr, 0); }
    const_iterator rbegin() const { return lastPosition<const_iterator>(); }
    const_iterator rend() const { return end(); }

    // The block layout, for diagnostics.
    const blocklist& blocks() const { return m_blocks; }

private:
    template <class Iterator>
    Iterator lastPosition() const {
        blocknode* last = m_blocks.rbegin().node();
        return Iterator(this, last, last ? last->element->count - 1 : 0);
    }

    // Finds the block holding `position` and makes `position` relative to it.
    blocknode* locate(DWORD& position) const {
        for (blocknode* node = m_blocks.begin().node(); node; node = node->next) {
            if (position < node->element->count) return node;
            position -= node->element->count;
        }
        fail(failNotInVector);
    }

    myitemtype* makeItem(const T& value) {
        return detail::track(new myitemtype(this, value), "myitemtype", kVectorFile, __LINE__);
    }

    myitemtype** allocateArray(DWORD cNew) {
        void* array =
            MemAlloc(cNew * sizeof(myitemtype*), "cNew * sizeof(myitemtype*)", kVectorFile, __LINE__);
        if (!array) throw std::bad_alloc();
        return static_cast<myitemtype**>(array);
    }

    // A new empty block before `before` (the end position appends).
    blocknode* addBlock(typename blocklist::const_iterator before, DWORD capacity) {
        myitemtype** items = allocateArray(capacity);
        myblocktype* block = nullptr;
        try {
            block = detail::track(new myblocktype{this, items, 0, capacity}, "myblocktype", kVectorFile,
                                  __LINE__);
            return m_blocks.insert(before, block).node();
        } catch (...) {
            if (block) detail::untrack(block, kVectorFile, __LINE__);
            MemFree(items, kVectorFile, __LINE__);
            throw;
        }
    }

    void releaseBlock(myblocktype* block) {
        MemFree(block->items, kVectorFile, __LINE__);
        detail::untrack(block, kVectorFile, __LINE__);
    }

    // A full block splits in two halves before an insert; the second half
    // moves to a new block of full capacity right after it.
    blocknode* split(blocknode* node) {
        typename blocklist::const_iterator after(&m_blocks, node->next);
        blocknode* second = addBlock(after, kBlockCapacity);
        myblocktype* from = node->element;
        myblocktype* to = second->element;
        DWORD half = from->count / 2;
        memcpy(to->items, from->items + half, (from->count - half) * sizeof(myitemtype*));
        to->count = from->count - half;
        from->count = half;
        return second;
    }

    // Stores `item` at `position` of `block`, growing the block's array first.
    void place(myblocktype* block, DWORD position, myitemtype* item) {
        if (block->count >= block->capacity) {
            DWORD cNew = block->capacity ? block->capacity * 2 : kFirstArray;
            if (cNew > kBlockCapacity) cNew = kBlockCapacity;
            myitemtype** items = allocateArray(cNew);
            memcpy(items, block->items, block->count * sizeof(myitemtype*));
            MemFree(block->items, kVectorFile, __LINE__);
            block->items = items;
            block->capacity = cNew;
        }
        memmove(block->items + position + 1, block->items + position,
                (block->count - position) * sizeof(myitemtype*));
        block->items[position] = item;
        ++block->count;
        ++m_count;
    }

    void removeAt(blocknode* node, DWORD position) {
        myblocktype* block = node->element;
        myitemtype* item = block->items[position];
        memmove(block->items + position, block->items + position + 1,
                (block->count - position - 1) * sizeof(myitemtype*));
        --block->count;
        --m_count;
        detail::untrack(item, kVectorFile, __LINE__);
        if (block->count == 0) {
            releaseBlock(block);
            m_blocks.erase(typename blocklist::const_iterator(&m_blocks, node));
        }
    }

    void extendThrough(DWORD index) {
        // The size could not count an item at the largest index.
        if (index == 0xFFFFFFFF) fail(failNotInVector);
        DWORD before = m_count;
        try {
            while (m_count <= index) push_back(T());
        } catch (...) {
            while (m_count > before) {
                blocknode* last = m_blocks.rbegin().node();
                removeAt(last, last->element->count - 1);
            }
            throw;
        }
    }

    void append(const vector& other) {
        for (const T& value : other) push_back(value);
    }

    blocklist m_blocks;
    DWORD m_count;
};

} // namespace cetl
