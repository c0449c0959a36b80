// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace snr {

// Memory for the planes of a run, some megabytes at once. Fresh memory comes page by page,
// each 4 KiB page a fault of its own (on a virtual machine as slow as the arithmetic on it);
// this comes in huge pages where the system offers them. Raises std::bad_alloc.
void* allocate_large(std::size_t bytes);
void free_large(void* memory, std::size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) { return static_cast<T*>(allocate_large(count * sizeof(T))); }
    void deallocate(T* memory, std::size_t count) noexcept { free_large(memory, count * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
};

template <class T, class... Args>
std::shared_ptr<T> make_shared_large(Args&&... args)
{
    return std::allocate_shared<T>(LargeAllocator<T>{}, std::forward<Args>(args)...);
}

template <class T>
struct LargeDeleter {
    void operator()(T* object) const noexcept
    {
        object->~T();
        free_large(object, sizeof(T));
    }
};

template <class T>
using LargeObject = std::unique_ptr<T, LargeDeleter<T>>;

template <class T, class... Args>
LargeObject<T> make_large(Args&&... args)
{
    void* memory = allocate_large(sizeof(T));
    try {
        return LargeObject<T>(new (memory) T(std::forward<Args>(args)...));
    } catch (...) {
        free_large(memory, sizeof(T));
        throw;
    }
}

}  // namespace snr
