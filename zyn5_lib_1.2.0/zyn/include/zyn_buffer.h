// zyn_buffer.h - CZYNBuffer<T>: the library's owned, zero-initialised,
// bounds-checked array, the storage of the wide string and the holder of
// raw bytes.
//
// Implements: construction (empty, counted, copied from memory, memory image
// of another element type), the virtual allocate/release/resize protocol,
// assignment, bounds-checked element access, append, write and zero fill,
// plus the allocation-failure hook that the tests use to sweep failures.
//
// Every operation but the constructors and element access follows the
// library's failure convention: failures are written to the log and the
// operation returns false. Constructors throw CZYNBufferInitException;
// getAt/elementAt throw CZYNIndexOutOfBoundsException. Every element is
// overwritten with zeros before its storage is freed.
#ifndef ZYN_BUFFER_H
#define ZYN_BUFFER_H

#include <windows.h>

#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "zyn_failure.h"
#include "zyn_log_exception.h"
#include "zyn_text.h"

namespace zyn {

// The source file that records raised by the buffer template carry.
inline constexpr const WCHAR* kBufferSource = TEXT("zyn_buffer.h");

// The line that the element check's record carries, wherever an index is
// checked as getAt and elementAt check it (also by code that reads a text
// directly and reports a position outside it as the buffer would).
inline constexpr DWORD kElementCheckLine = 1299;

// The element check's record: "Index out of array bounds", written when built.
inline CZYNIndexOutOfBoundsException elementCheckFailure() {
    return CZYNIndexOutOfBoundsException(kBufferSource, kElementCheckLine);
}

// Allocation fault injection, for tests only: after failNthAllocation(n) with
// n > 0, the n-th allocation made by the buffer and list templates on this
// thread fails as if memory had run out (1 = the next one); 0 switches it off.
// It fires once.
inline thread_local ULONG t_allocationsUntilFailure = 0;
inline void failNthAllocation(ULONG n) { t_allocationsUntilFailure = n; }

// True when the injected failure is due now.
inline bool injectedAllocationFailure() {
    if (t_allocationsUntilFailure == 0) return false;
    return --t_allocationsUntilFailure == 0;
}

// new (std::nothrow) X(args...), or null when memory runs out.
template <class X, class... Args>
X* newObject(Args&&... args) {
    if (injectedAllocationFailure()) return nullptr;
    return new (std::nothrow) X(std::forward<Args>(args)...);
}

// Overwrites n bytes with zeros in a way the compiler may not drop, for
// memory that is about to be freed: a plain memset, then a barrier that tells
// the compiler the zeros are read, so the store cannot be left out as dead.
inline void wipeBytes(void* p, size_t n) noexcept {
    if (n == 0) return;
    std::memset(p, 0, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

}  // namespace zyn

template <class T>
class CZYNBuffer {
    static_assert(std::is_trivially_copyable_v<T>,
                  "CZYNBuffer zeroes, copies and wipes its elements as bytes");

public:
    // Empty (no storage). Throws CZYNBufferInitException on failure.
    CZYNBuffer() : m_pBuffer(nullptr), m_ulCount(0) {
        if (!allocate(0)) throw CZYNBufferInitException(zyn::kBufferSource, __LINE__);
    }

    // ulCount zero elements. Throws CZYNBufferInitException on failure.
    explicit CZYNBuffer(ULONG ulCount) : m_pBuffer(nullptr), m_ulCount(0) {
        if (!allocate(ulCount)) throw CZYNBufferInitException(zyn::kBufferSource, __LINE__);
    }

    // pSource and ulCount given: ulOffset + ulCount elements, the ulCount
    // source elements copied to index ulOffset, those before it zero. No
    // source: ulCount zero elements. ulCount 0: empty. Throws
    // CZYNBufferInitException when the storage cannot be had (a sum that does
    // not fit 32 bits included).
    CZYNBuffer(const T* pSource, ULONG ulCount, ULONG ulOffset) : m_pBuffer(nullptr), m_ulCount(0) {
        bool ok = true;
        if (pSource && ulCount) {
            ok = ulOffset <= kMaxCount - ulCount && allocate(ulOffset + ulCount);
            if (ok) std::memcpy(m_pBuffer + ulOffset, pSource, ulCount * sizeof(T));
        } else if (ulCount) {
            ok = allocate(ulCount);
        }
        if (!ok) throw CZYNBufferInitException(zyn::kBufferSource, __LINE__);
    }

    // The memory image of a buffer of another element type: as many elements
    // as hold its bytes (one more when they do not divide evenly), the bytes
    // copied in and the rest zero. A wide buffer of n elements gives 2n
    // bytes; n bytes give n / 2 wide elements, one more when n is odd, whose
    // high byte is then 0. Throws CZYNBufferInitException on failure.
    template <class U, class = std::enable_if_t<!std::is_same_v<U, T>>>
    explicit CZYNBuffer(const CZYNBuffer<U>& other) : m_pBuffer(nullptr), m_ulCount(0) {
        const bool ok = zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            const ULONGLONG bytes = ULONGLONG(other.getCount()) * sizeof(U);
            const ULONGLONG count = (bytes + sizeof(T) - 1) / sizeof(T);
            if (count > kMaxCount)
                throw CZYNMemAllocException(TEXT("m_pBuffer"), zyn::kBufferSource, __LINE__);
            if (!allocate(ULONG(count))) return false;
            if (bytes) std::memcpy(m_pBuffer, other.getBuffer(), size_t(bytes));
            return true;
        });
        if (!ok) throw CZYNBufferInitException(zyn::kBufferSource, __LINE__);
    }

    // A copy of every element. Throws CZYNBufferInitException on failure.
    CZYNBuffer(const CZYNBuffer& other) : m_pBuffer(nullptr), m_ulCount(0) {
        if (!copyFrom(other)) throw CZYNBufferInitException(zyn::kBufferSource, __LINE__);
    }

    // Takes the other buffer's storage; the other buffer is left empty.
    CZYNBuffer(CZYNBuffer&& other) noexcept : m_pBuffer(other.m_pBuffer), m_ulCount(other.m_ulCount) {
        other.m_pBuffer = nullptr;
        other.m_ulCount = 0;
    }

    // Wipes and frees the storage. Virtual, so that a string or buffer held
    // through a base pointer (a list's pointer node) is destroyed whole.
    virtual ~CZYNBuffer() { release(); }

    // Releases the storage, then gets ulCount zero elements (none for 0).
    // False when the storage cannot be had; the buffer is then empty.
    virtual bool allocate(ULONG ulCount) {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            if (!release()) return false;
            if (ulCount == 0) return true;
            T* pStorage = newStorage(ulCount);
            adopt(pStorage, ulCount);
            return true;
        });
    }

    // Wipes and frees the storage, if any; the buffer is empty afterwards.
    virtual bool release() {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            adopt(nullptr, 0);
            return true;
        });
    }

    // ulCount elements: the first min(ulCount, old count) kept, the rest
    // zero; 0 releases. False when the new storage cannot be had, and then
    // the buffer keeps its elements.
    virtual bool resize(ULONG ulCount) {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            if (ulCount == 0) return release();
            T* pStorage = newStorage(ulCount);
            const ULONG ulKept = ulCount < m_ulCount ? ulCount : m_ulCount;
            if (ulKept) std::memcpy(pStorage, m_pBuffer, ulKept * sizeof(T));
            adopt(pStorage, ulCount);
            return true;
        });
    }

    // allocate(other's count), then every element copied. Assigning a buffer
    // to itself leaves it as it is. When the storage cannot be had the buffer
    // is left empty, as allocate leaves it.
    CZYNBuffer& operator=(const CZYNBuffer& other) {
        copyFrom(other);
        return *this;
    }

    // operator= that says whether it succeeded.
    bool copyFrom(const CZYNBuffer& other) {
        if (&other == this) return true;
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            if (!allocate(other.m_ulCount)) return false;
            if (m_ulCount) std::memcpy(m_pBuffer, other.m_pBuffer, m_ulCount * sizeof(T));
            return true;
        });
    }

    // Storage present and at least one element.
    bool isValid() const { return m_pBuffer != nullptr && m_ulCount != 0; }

    // The element at ulIndex; an index not below the count throws
    // CZYNIndexOutOfBoundsException ("Index out of array bounds").
    T getAt(ULONG ulIndex) const { return m_pBuffer[checkedIndex(ulIndex)]; }
    T& elementAt(ULONG ulIndex) { return m_pBuffer[checkedIndex(ulIndex)]; }
    const T& elementAt(ULONG ulIndex) const { return m_pBuffer[checkedIndex(ulIndex)]; }

    // The other buffer's elements after this buffer's own. Appending a buffer
    // to itself doubles it.
    bool append(const CZYNBuffer& other) {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            // Taken before resizing, which changes the other buffer when it is this one.
            const ULONG ulOffset = m_ulCount;
            const ULONG ulOther = other.m_ulCount;
            if (ulOther == 0) return true;
            if (ulOther > kMaxCount - ulOffset)
                throw CZYNMemAllocException(TEXT("m_pBuffer"), zyn::kBufferSource, __LINE__);
            if (!resize(ulOffset + ulOther)) return false;
            std::memmove(m_pBuffer + ulOffset, other.m_pBuffer, ulOther * sizeof(T));
            return true;
        });
    }

    // The buffer becomes its first ulOffset elements followed by the other
    // buffer's elements (whatever followed ulOffset is dropped). ulOffset past
    // the count, or an empty other buffer, fails with a bad-argument record
    // and leaves the buffer as it was.
    bool append(const CZYNBuffer& other, ULONG ulOffset) {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            if (ulOffset > m_ulCount)
                // This record carries no source position.
                throw CZYNBadArgException(
                    TEXT("ulOffset"),
                    TEXT("can't append a buffer at an offset past the bounds of this buffer"),
                    nullptr, 0);
            const ULONG ulOther = other.m_ulCount;
            if (ulOther == 0) throw zeroSizeWrite(__LINE__);
            if (ulOther > kMaxCount - ulOffset)
                throw CZYNMemAllocException(TEXT("m_pBuffer"), zyn::kBufferSource, __LINE__);
            if (!resize(ulOffset + ulOther)) return false;
            // The other buffer may be this one, so its elements are read after
            // the resize (which kept them) and may overlap their destination.
            std::memmove(m_pBuffer + ulOffset, other.m_pBuffer, ulOther * sizeof(T));
            return true;
        });
    }

    // Copies the other buffer's elements to index ulOffset. When they do not
    // fit: with bGrow, append(other, ulOffset); without it, a bad-argument
    // record and the buffer unchanged. An empty other buffer is refused.
    bool write(const CZYNBuffer& other, ULONG ulOffset, bool bGrow) {
        return zyn::guard({zyn::kBufferSource, __LINE__, zyn::Errno}, false, [&] {
            const ULONG ulOther = other.m_ulCount;
            if (ulOther == 0) throw zeroSizeWrite(__LINE__);
            // ulOffset + ulOther <= count, without overflowing 32 bits.
            const bool bFits = ulOther <= m_ulCount && ulOffset <= m_ulCount - ulOther;
            if (!bFits && !bGrow)
                throw CZYNBadArgException(TEXT("buffer"), TEXT("buffer + offset will overrun this buffer"),
                                          zyn::kBufferSource, __LINE__);
            if (!bFits) return append(other, ulOffset);
            std::memmove(m_pBuffer + ulOffset, other.m_pBuffer, ulOther * sizeof(T));
            return true;
        });
    }

    // Sets every byte of the storage to 0.
    void zeroFill() {
        if (m_pBuffer) std::memset(static_cast<void*>(m_pBuffer), 0, m_ulCount * sizeof(T));
    }

    // The storage (null when empty) and the element count, for callers that
    // hand the buffer to a system call or read it directly.
    T* getBuffer() { return m_pBuffer; }
    const T* getBuffer() const { return m_pBuffer; }
    ULONG getCount() const { return m_ulCount; }

protected:
    static constexpr ULONG kMaxCount = std::numeric_limits<ULONG>::max();

    // Fresh zeroed storage of ulCount (> 0) elements; throws
    // CZYNMemAllocException ("m_pBuffer") when memory runs out.
    static T* newStorage(ULONG ulCount) {
        T* pStorage = nullptr;
        if (ulCount <= std::numeric_limits<size_t>::max() / sizeof(T) && !zyn::injectedAllocationFailure())
            pStorage = static_cast<T*>(zyn::allocateStorage(size_t(ulCount) * sizeof(T)));
        if (!pStorage) throw CZYNMemAllocException(TEXT("m_pBuffer"), zyn::kBufferSource, __LINE__);
        return pStorage;
    }

    // Wipes and frees the current storage, then holds pStorage of ulCount
    // elements (null and 0 for none).
    void adopt(T* pStorage, ULONG ulCount) noexcept {
        if (m_pBuffer) {
            zyn::wipeBytes(m_pBuffer, m_ulCount * sizeof(T));
            zyn::freeStorage(m_pBuffer);
        }
        m_pBuffer = pStorage;
        m_ulCount = pStorage ? ulCount : 0;
    }

    T* m_pBuffer;      // the elements; null when nothing is allocated
    ULONG m_ulCount;   // number of elements allocated; 0 when nothing is

private:
    ULONG checkedIndex(ULONG ulIndex) const {
        if (ulIndex >= m_ulCount) throw zyn::elementCheckFailure();
        return ulIndex;
    }

    static CZYNBadArgException zeroSizeWrite(DWORD line) {
        return CZYNBadArgException(TEXT("buffer"), TEXT("buffer is of zero size - can't write"),
                                   zyn::kBufferSource, line);
    }
};

namespace zyn {

// Whether two buffers hold the same number of elements with the same bytes.
template <class T>
bool sameElements(const CZYNBuffer<T>& a, const CZYNBuffer<T>& b) {
    const ULONG ulCount = a.getCount();
    return ulCount == b.getCount() &&
           (ulCount == 0 || std::memcmp(a.getBuffer(), b.getBuffer(), ulCount * sizeof(T)) == 0);
}

}  // namespace zyn

#endif
