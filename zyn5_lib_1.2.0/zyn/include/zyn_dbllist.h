// zyn_dbllist.h - CZYNDblList: the library's doubly linked list with an
// internal cursor, tail insertion and tagged nodes, and its nodes.
//
// Implements: CZYNNode (links and tag), CZYNObjNode<T> (holds a T by value),
// CZYNPtrNode<T> (owns a heap T), and CZYNDblList<Node> over one of the two
// node kinds: add, clear, cursor walk, positional access, deep copy and
// comparison.
//
// No list operation throws: failures are written to the log and the
// operation returns false. Whether a list holds pointer nodes is a property
// of its node type (kHoldsPointer), known at compile time: a list of pointer
// nodes copies deeply (fresh heap copies of the objects), a list of object
// nodes copies the values.
#ifndef ZYN_DBLLIST_H
#define ZYN_DBLLIST_H

#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "zyn_buffer.h"
#include "zyn_failure.h"
#include "zyn_log_exception.h"
#include "zyn_log_warning.h"

namespace zyn {

// The source file that records raised by the list template carry.
inline constexpr const WCHAR* kListSource = TEXT("zyn_dbllist.h");

namespace detail {
template <class T, class = void>
struct HasLess : std::false_type {};
template <class T>
struct HasLess<T, std::void_t<decltype(std::declval<const T&>() < std::declval<const T&>())>>
    : std::true_type {};
template <class T, class = void>
struct HasGreater : std::false_type {};
template <class T>
struct HasGreater<T, std::void_t<decltype(std::declval<const T&>() > std::declval<const T&>())>>
    : std::true_type {};
}  // namespace detail

}  // namespace zyn

template <class Node>
class CZYNDblList;

// The links and the tag every node has. Only a list links nodes.
class CZYNNode {
public:
    CZYNNode() : m_pNext(nullptr), m_pPrevious(nullptr), m_lTag(0) {}
    CZYNNode(const CZYNNode&) = delete;
    CZYNNode& operator=(const CZYNNode&) = delete;
    virtual ~CZYNNode() {
        m_pNext = nullptr;
        m_pPrevious = nullptr;
    }

    CZYNNode* getNext() const { return m_pNext; }
    CZYNNode* getPrevious() const { return m_pPrevious; }
    // A number the caller stores with the node (the string parser stores the
    // token's index, the registry classes a record's position).
    LONG getTag() const { return m_lTag; }
    void setTag(LONG lTag) { m_lTag = lTag; }

protected:
    template <class Node>
    friend class CZYNDblList;

    CZYNNode* m_pNext;      // null at the tail
    CZYNNode* m_pPrevious;  // null at the head
    LONG m_lTag;
};

// A node that holds a T by value.
template <class T>
class CZYNObjNode : public CZYNNode {
public:
    using ObjectType = T;
    using SetArgument = const T&;
    static constexpr bool kHoldsPointer = false;

    // Copy-constructs the value, so that a copy that fails (a string whose
    // storage cannot be had throws) fails the node instead of storing an
    // empty value.
    CZYNObjNode(const T& value, LONG lTag) : m_value(value) { m_lTag = lTag; }

    bool isEqual(const T& value) const { return m_value == value; }
    bool isNotEqual(const T& value) const { return !(m_value == value); }
    // False for a T without an ordering.
    bool isLess(const T& value) const {
        if constexpr (zyn::detail::HasLess<T>::value) return m_value < value;
        return false;
    }
    bool isGreater(const T& value) const {
        if constexpr (zyn::detail::HasGreater<T>::value) return m_value > value;
        return false;
    }

    // The address of the held value.
    T* getObject() { return &m_value; }
    const T* getObject() const { return &m_value; }
    // Assigns a copy of the value.
    void setObject(const T& value) { m_value = value; }

private:
    T m_value;
};

// A node that owns a heap T (it may also hold none).
template <class T>
class CZYNPtrNode : public CZYNNode {
public:
    using ObjectType = T;
    using SetArgument = T*;
    static constexpr bool kHoldsPointer = true;

    // Takes ownership of pObject (which new made).
    explicit CZYNPtrNode(T* pObject = nullptr, LONG lTag = 0) : m_pPointer(pObject) { m_lTag = lTag; }

    // Destroys and frees the object.
    ~CZYNPtrNode() override {
        try {
            delete m_pPointer;
        } catch (...) {
            CZYNMemFreeWarning(TEXT("m_pPointer"), zyn::kListSource, __LINE__);
        }
        m_pPointer = nullptr;
    }

    // Comparisons with the held object; false when the node holds none.
    bool isEqual(const T& value) const { return m_pPointer && *m_pPointer == value; }
    bool isNotEqual(const T& value) const { return !isEqual(value); }
    bool isLess(const T& value) const {
        if constexpr (zyn::detail::HasLess<T>::value) return m_pPointer && *m_pPointer < value;
        return false;
    }
    bool isGreater(const T& value) const {
        if constexpr (zyn::detail::HasGreater<T>::value) return m_pPointer && *m_pPointer > value;
        return false;
    }

    // The held pointer (null when the node holds none).
    T* getObject() const { return m_pPointer; }
    // Stores pObject and takes ownership of it. The previous object is not
    // freed: the caller takes it back.
    void setObject(T* pObject) { m_pPointer = pObject; }

private:
    T* m_pPointer;
};

// A doubly linked list of Node (CZYNObjNode<T> or CZYNPtrNode<T>) that owns
// its nodes, with a cursor for walking it. An empty list has all four fields
// zero.
template <class Node>
class CZYNDblList {
public:
    using T = typename Node::ObjectType;

    CZYNDblList() : m_pFirst(nullptr), m_pLast(nullptr), m_pCursor(nullptr), m_lCount(0) {}
    // A copy as copyFrom makes it; a failed copy leaves the nodes copied so far.
    CZYNDblList(const CZYNDblList& other) : CZYNDblList() { copyFrom(other); }
    ~CZYNDblList() { clear(); }

    CZYNDblList& operator=(const CZYNDblList& other) {
        copyFrom(other);
        return *this;
    }

    // Replaces this list's nodes with copies of the other list's nodes, tags
    // included: fresh heap copies of the objects for pointer nodes, copies of
    // the values for object nodes. Stops at the first node that cannot be
    // copied and returns false (the nodes copied so far stay). Copying a list
    // into itself leaves it as it is.
    bool copyFrom(const CZYNDblList& other) {
        if (&other == this) return true;
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            if (m_lCount) clear();
            for (const Node* pSource = other.m_pFirst; pSource; pSource = nextOf(pSource)) {
                if constexpr (Node::kHoldsPointer) {
                    if (!linkAtTail(copyNode(*pSource))) return false;
                } else {
                    if (!add(*pSource->getObject(), pSource->getTag())) return false;
                }
            }
            return true;
        });
    }

    // Appends a node holding a copy of value (for pointer nodes a new heap
    // copy) with the tag. False when memory runs out ("pNewNode").
    bool add(const T& value, LONG lTag) {
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false,
                          [&] { return linkAtTail(makeNode(value, lTag, TEXT("pNewNode"))); });
    }

    // Pointer nodes only: appends a node that takes ownership of pObject
    // (made with new). False for a null pointer or when memory runs out; the
    // caller then still owns the object.
    bool addOwned(T* pObject, LONG lTag) {
        static_assert(Node::kHoldsPointer, "addOwned is for lists of pointer nodes");
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            if (!pObject) return false;
            Node* pNode = zyn::newObject<Node>(pObject, lTag);
            if (!pNode) throw CZYNMemAllocException(TEXT("pNewNode"), zyn::kListSource, __LINE__);
            return linkAtTail(pNode);
        });
    }

    // Deletes every node (and, for pointer nodes, its object); all fields
    // are zero afterwards.
    bool clear() {
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            m_pCursor = m_pFirst;
            while (m_pCursor) {
                Node* pTempCursor = m_pCursor;
                m_pCursor = nextOf(pTempCursor);
                pTempCursor->m_pNext = nullptr;
                pTempCursor->m_pPrevious = nullptr;
                delete pTempCursor;
            }
            m_pFirst = m_pLast = m_pCursor = nullptr;
            m_lCount = 0;
            return true;
        });
    }

    // Puts the cursor on the first node; false when the list is empty.
    bool moveFirst() {
        m_pCursor = m_pFirst;
        return m_pCursor != nullptr;
    }

    // Moves the cursor to the next node; false, with the cursor where it
    // was, when there is none.
    bool moveNext() {
        if (!m_pCursor || !m_pCursor->m_pNext) return false;
        m_pCursor = nextOf(m_pCursor);
        return true;
    }

    // A copy of the cursor node's object; false when there is no cursor (or
    // the pointer node holds no object), and then out is untouched.
    bool getCurrent(T& out) const {
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            const T* pObject = getCurrentObject();
            if (!pObject) return false;
            out = *pObject;
            return true;
        });
    }

    // The cursor node's object itself (no copy), or null.
    T* getCurrentObject() const { return m_pCursor ? m_pCursor->getObject() : nullptr; }
    // The cursor node (for its tag), or null.
    Node* getCurrentNode() const { return m_pCursor; }

    // Sets the cursor node's object (a copy of the value for object nodes, a
    // pointer whose ownership passes to the node for pointer nodes); false
    // when there is no cursor.
    bool setCurrent(typename Node::SetArgument value) {
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            if (!m_pCursor) return false;
            m_pCursor->setObject(value);
            return true;
        });
    }

    // Number of nodes.
    LONG getCount() const { return m_lCount; }

    // The node at the 0-based position, or null past the end. These walk
    // from the first node without touching the cursor, so a list that is no
    // longer changed can be read from several threads.
    Node* getNodeAt(ULONG ulIndex) const {
        Node* pNode = m_pFirst;
        while (pNode && ulIndex--) pNode = nextOf(pNode);
        return pNode;
    }
    T* getObjectAt(ULONG ulIndex) const {
        Node* pNode = getNodeAt(ulIndex);
        return pNode ? pNode->getObject() : nullptr;
    }

    // Equal when both have the same number of nodes and, node by node, the
    // same tags and equal objects.
    bool operator==(const CZYNDblList& other) const {
        return zyn::guard({zyn::kListSource, __LINE__, zyn::Errno}, false, [&] {
            if (m_lCount != other.m_lCount) return false;
            const Node* pMine = m_pFirst;
            const Node* pTheirs = other.m_pFirst;
            for (; pMine && pTheirs; pMine = nextOf(pMine), pTheirs = nextOf(pTheirs)) {
                if (pMine->getTag() != pTheirs->getTag() || !sameObject(*pMine, *pTheirs))
                    return false;
            }
            return pMine == nullptr && pTheirs == nullptr;
        });
    }
    bool operator!=(const CZYNDblList& other) const { return !(*this == other); }

private:
    static Node* nextOf(const Node* pNode) { return static_cast<Node*>(pNode->m_pNext); }

    // Two nodes' objects are equal; a pointer node without an object equals
    // only another one without an object.
    static bool sameObject(const Node& mine, const Node& theirs) {
        const T* pTheirs = theirs.getObject();
        if (!mine.getObject() || !pTheirs) return mine.getObject() == pTheirs;
        return mine.isEqual(*pTheirs);
    }

    // A new node holding a copy of value; throws CZYNMemAllocException with
    // `what` when memory runs out.
    static Node* makeNode(const T& value, LONG lTag, const WCHAR* what) {
        if constexpr (Node::kHoldsPointer) {
            std::unique_ptr<T> pObject(zyn::newObject<T>(value));
            if (!pObject) throw CZYNMemAllocException(what, zyn::kListSource, __LINE__);
            Node* pNode = zyn::newObject<Node>(pObject.get(), lTag);
            if (!pNode) throw CZYNMemAllocException(what, zyn::kListSource, __LINE__);
            pObject.release();
            return pNode;
        } else {
            Node* pNode = zyn::newObject<Node>(value, lTag);
            if (!pNode) throw CZYNMemAllocException(what, zyn::kListSource, __LINE__);
            return pNode;
        }
    }

    // A pointer node with a fresh heap copy of the source node's object (none
    // when it holds none) and its tag.
    static Node* copyNode(const Node& source) {
        if (source.getObject()) return makeNode(*source.getObject(), source.getTag(), TEXT("pNode"));
        Node* pNode = zyn::newObject<Node>(nullptr, source.getTag());
        if (!pNode) throw CZYNMemAllocException(TEXT("pNode"), zyn::kListSource, __LINE__);
        return pNode;
    }

    // Links the node at the tail and takes ownership of it; the first node
    // also becomes the cursor. False for a null node.
    bool linkAtTail(Node* pNode) {
        if (!pNode) return false;
        pNode->m_pNext = nullptr;
        pNode->m_pPrevious = m_pLast;
        if (m_pLast) {
            m_pLast->m_pNext = pNode;
        } else {
            m_pFirst = pNode;
            m_pCursor = pNode;
        }
        m_pLast = pNode;
        ++m_lCount;
        return true;
    }

    Node* m_pFirst;   // head; null when empty
    Node* m_pLast;    // tail
    Node* m_pCursor;  // current node of the cursor walk
    LONG m_lCount;    // number of nodes
};

#endif
