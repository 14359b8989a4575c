// Named shared sections on Windows: a file mapping backed by the paging file.
// The name lives in the caller's session, where a user who is no
// administrator may create one (the Global namespace needs a privilege).
#include "platform/section.h"
#include "platform/error.h"

#include "object_name.h"
#include "windows_api.h"

namespace platform {

struct SectionHandle {
    HANDLE h;
};

HSECTION CreateFileMapping(const std::string& csName, uint32_t dwSize) {
    if (!IsValidObjectName(csName) || csName.find('\\') != std::string::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    HANDLE h = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    dwSize ? dwSize : 1, csName.c_str());
    // The system's last error is 0 or ERROR_ALREADY_EXISTS on success too.
    SetLastError(::GetLastError());
    return h ? new SectionHandle{h} : nullptr;
}

bool CloseSection(HSECTION hSection) {
    if (!hSection)
        return Fail(ERROR_INVALID_HANDLE);
    const bool ok = ::CloseHandle(hSection->h);
    delete hSection;
    return ok || Fail(::GetLastError());
}

} // namespace platform
