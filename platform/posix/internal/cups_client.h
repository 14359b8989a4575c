// The spooler's calls to the CUPS scheduler of the system root (POSIX side
// only): one IPP connection per call over the scheduler's local socket, its
// failures translated into the spooler's error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _http_s http_t;

namespace platform::posix::cups {

// A queue as CUPS keeps it.
struct SCupsQueue {
    std::string csCupsName; // CupsQueueName of the system's name
    std::string csInfo;     // the system's name, what users see
    std::string csDeviceUri;
    std::string csPpdFile; // empty: a raw queue
    std::string csLocation;
    bool bShared = false;
    std::string csBanner; // "none" or a banner of the scheduler
};

// Connects to the root's scheduler; null (last error 1722) when it does not
// answer. Closed with httpClose.
http_t* Connect();
bool SchedulerAnswers();
// Adds the queue or changes the one of that name.
bool AddOrModifyQueue(const SCupsQueue& queue);
// Whether the scheduler has a queue of that name (false, last error set, when
// it cannot tell).
bool QueueExists(const std::string& csCupsName, bool* pbExists);
// A queue that is gone already counts as deleted.
bool DeleteQueue(const std::string& csCupsName);
// The names of the scheduler's queues.
bool ListQueueNames(std::vector<std::string>* pNames);
// Whether the scheduler has a banner of that name (the separator pages).
bool HasBanner(const std::string& csName);
// The IPP address of a queue.
std::string QueueUri(const std::string& csCupsName);

// Sets the last error from libcups's last status and returns false.
bool FailFromCups();

} // namespace platform::posix::cups
