// SPDX-License-Identifier: BSD-3-Clause
#include "core/large_memory.h"

#include <cstdint>
#include <sys/mman.h>

namespace snr {

namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

std::size_t whole_huge_pages(std::size_t bytes) { return (bytes + huge_page - 1) / huge_page * huge_page; }

}  // namespace

void* allocate_large(std::size_t bytes)
{
    // Mapped with a huge page's room to spare, then trimmed to start on a huge page boundary.
    const std::size_t size = whole_huge_pages(bytes);
    void* mapped = ::mmap(nullptr, size + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + huge_page - 1) / huge_page * huge_page;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::uintptr_t end = start + size + huge_page; end > aligned + size)
        ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint; plain pages otherwise
    return reinterpret_cast<void*>(aligned);
}

void free_large(void* memory, std::size_t bytes) noexcept
{
    if (memory != nullptr)
        ::munmap(memory, whole_huge_pages(bytes));
}

}  // namespace snr
