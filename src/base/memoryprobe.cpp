#include "base/memoryprobe.h"

#include <sys/mman.h>

namespace tessilor {

bool memoryAvailable(qint64 bytes)
{
    if (bytes <= 0)
        return true;
    if (quint64(bytes) > quint64(SIZE_MAX))
        return false;
    // A private writable mapping is counted against RLIMIT_AS and the
    // kernel's commit check, like the allocation it stands for.
    void *p = ::mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return false;
    ::munmap(p, size_t(bytes));
    return true;
}

} // namespace tessilor
