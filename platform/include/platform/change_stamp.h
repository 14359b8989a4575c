// A stamp of a store's contents (the registry, the spooler), for callers that
// keep what they read and read again only after a change. Two valid stamps
// taken by one thread are equal only when nothing was written to the store in
// between, by any thread or process. Stamps of different threads are not
// comparable.
#pragma once

#include <cstdint>

namespace platform {

struct ChangeStamp {
    uint64_t uReader = 0; // 0: no stamp, the store could not be read
    int64_t iOthers = 0;  // writes of other readers, threads and processes
    int64_t iOwn = 0;     // writes of this reader
    bool Valid() const { return uReader != 0; }
    bool operator==(const ChangeStamp&) const = default;
};

} // namespace platform
