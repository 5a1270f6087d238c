#pragma once
#include <atomic>
#include <memory>

// A shared pointer that readers and writers on different threads may load, replace and
// compare-exchange at the same time, all in sequentially consistent order. Compare-exchange treats two
// pointers as equal only when both the object and the control block match.
template <class T> class atomic_shared_ptr
{
public:
    atomic_shared_ptr() = default;
    explicit atomic_shared_ptr(std::shared_ptr<T> p) : m_p(std::move(p)) {}
    atomic_shared_ptr(const atomic_shared_ptr&) = delete;
    atomic_shared_ptr& operator=(const atomic_shared_ptr&) = delete;

    std::shared_ptr<T> load() const { return m_p.load(); }
    void store(std::shared_ptr<T> p) { m_p.store(std::move(p)); }
    // On failure expected receives the stored pointer.
    bool compare_exchange_strong(std::shared_ptr<T>& expected, std::shared_ptr<T> desired)
    {
        return m_p.compare_exchange_strong(expected, std::move(desired));
    }

private:
    std::atomic<std::shared_ptr<T>> m_p;
};
