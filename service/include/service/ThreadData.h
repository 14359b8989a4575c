// SThreadData: the block the main thread hands to every worker thread.
#pragma once

class CAdverts;
class CRequests;
class CPrinters;

struct SThreadData {
    CAdverts* pAdverts;
    CRequests* pRequests;
    CPrinters* pPrinters;
};
