#pragma once

#include "membudget.h"

#include <QtGlobal>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

// A vector whose capacity is charged to a MemoryBudget: growth that the
// budget refuses (or that the allocator cannot satisfy) fails softly, so an
// engine can end with its memory status instead of being killed.
template <typename T>
class CountedVector final
{
public:
    explicit CountedVector(MemoryBudget *budget = nullptr) : m_budget(budget) {}
    ~CountedVector() { freeAll(); }

    CountedVector(const CountedVector &) = delete;
    CountedVector &operator=(const CountedVector &) = delete;
    CountedVector(CountedVector &&other) noexcept
        : m_items(std::move(other.m_items)), m_budget(other.m_budget), m_charged(other.m_charged)
    {
        other.m_items = std::vector<T>();
        other.m_charged = 0;
    }
    CountedVector &operator=(CountedVector &&other) noexcept
    {
        if (this != &other) {
            freeAll();
            m_items = std::move(other.m_items);
            m_budget = other.m_budget;
            m_charged = other.m_charged;
            other.m_items = std::vector<T>();
            other.m_charged = 0;
        }
        return *this;
    }

    void setBudget(MemoryBudget *budget) { m_budget = budget; }

    // Makes room for at least n items; false when it does not fit.
    bool reserve(size_t n)
    {
        if (n <= m_items.capacity())
            return true;
        if (n > m_items.max_size())
            return false;
        const qint64 extra = static_cast<qint64>((n - m_items.capacity()) * sizeof(T));
        if (m_budget && !m_budget->reserve(extra))
            return false;
        try {
            m_items.reserve(n);
        } catch (const std::bad_alloc &) {
            if (m_budget)
                m_budget->release(extra);
            return false;
        }
        m_charged += extra;
        return true;
    }

    // Room for n items, growing geometrically so appends stay amortised.
    bool ensure(size_t n)
    {
        if (n <= m_items.capacity())
            return true;
        return reserve(std::max({n, m_items.capacity() * 2, size_t(8)}));
    }

    bool push_back(const T &item)
    {
        if (!ensure(m_items.size() + 1))
            return false;
        m_items.push_back(item);
        return true;
    }

    // Resizes, value-initialising new items; false when it does not fit.
    bool resize(size_t n, const T &value = T())
    {
        if (!reserve(n))
            return false;
        m_items.resize(n, value);
        return true;
    }

    void truncate(size_t n)
    {
        if (n < m_items.size())
            m_items.resize(n);
    }

    // Empties and gives the memory back.
    void freeAll()
    {
        std::vector<T>().swap(m_items);
        if (m_budget)
            m_budget->release(m_charged);
        m_charged = 0;
    }

    size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    T *data() { return m_items.data(); }
    const T *data() const { return m_items.data(); }
    T &operator[](size_t i) { return m_items[i]; }
    const T &operator[](size_t i) const { return m_items[i]; }
    T *begin() { return m_items.data(); }
    T *end() { return m_items.data() + m_items.size(); }
    const T *begin() const { return m_items.data(); }
    const T *end() const { return m_items.data() + m_items.size(); }

private:
    std::vector<T> m_items;
    MemoryBudget *m_budget = nullptr;
    qint64 m_charged = 0;
};
