#include "model/huge_page_heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCheckedAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kCheckedAllocator = true;
#else
constexpr bool kCheckedAllocator = false;
#endif
#else
constexpr bool kCheckedAllocator = false;
#endif

} // namespace

void UseHugePageHeap(char** argv)
{
#if defined(__linux__) && defined(__GLIBC__)
    static const char kVariable[] = "GLIBC_TUNABLES";
    if (kCheckedAllocator || argv == nullptr || argv[0] == nullptr || std::getenv(kVariable) != nullptr)
        return;
    // Under a memory checker the restarted program would run unobserved.
    if (const char* preload = std::getenv("LD_PRELOAD");
        preload != nullptr && std::strstr(preload, "vgpreload"))
        return;
    // Only where the system hands out huge pages on request.
    if (FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r")) {
        char mode[128] = {};
        const bool read = std::fgets(mode, sizeof mode, f) != nullptr;
        std::fclose(f);
        if (!read || std::strstr(mode, "[never]") != nullptr)
            return;
    } else {
        return;
    }
    if (setenv(kVariable, "glibc.malloc.hugetlb=1", 0) != 0)
        return;
    execv("/proc/self/exe", argv);
    unsetenv(kVariable); // not started again: go on as we are
#else
    (void)argv;
#endif
}
