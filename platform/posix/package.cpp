// Driver packages as archives, unpacked with libarchive in two passes: the
// first reads every entry's header and refuses the package when one could
// reach outside the folder, the second lays the files, with libarchive's own
// guards against ".." and links on the way as a second line.
#include "platform/package.h"

#include "platform/error.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdint>
#include <memory>

namespace platform {

namespace {

constexpr uint64_t kMaxBytes = uint64_t(1) << 30;
constexpr uint64_t kMaxEntries = 100000;

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;
using WriteArchive = std::unique_ptr<archive, decltype(&archive_write_free)>;

ReadArchive OpenPackage(const std::string& csPackage) {
    ReadArchive reader(archive_read_new(), archive_read_free);
    if (!reader)
        return reader;
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_filename(reader.get(), csPackage.c_str(), 64 * 1024) != ARCHIVE_OK)
        reader.reset();
    return reader;
}

// A relative name whose every step stays below the folder.
bool IsSafeName(const char* pszName) {
    if (!pszName || !*pszName || *pszName == '/')
        return false;
    std::string name(pszName);
    if (name.find('\\') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

const char* EntryName(archive_entry* pEntry) {
    const char* pszName = archive_entry_pathname(pEntry);
    return pszName ? pszName : archive_entry_pathname_utf8(pEntry);
}

// The first pass: every entry a folder or a regular file with a safe name.
uint32_t CheckEntries(const std::string& csPackage) {
    ReadArchive reader = OpenPackage(csPackage);
    if (!reader)
        return ERROR_INVALID_DATA;
    archive_entry* pEntry = nullptr;
    uint64_t qwEntries = 0, qwBytes = 0;
    int rc;
    while ((rc = archive_read_next_header(reader.get(), &pEntry)) == ARCHIVE_OK) {
        const mode_t type = archive_entry_filetype(pEntry);
        if ((type != AE_IFREG && type != AE_IFDIR) || archive_entry_hardlink(pEntry) ||
            archive_entry_symlink(pEntry) || !IsSafeName(EntryName(pEntry)))
            return ERROR_INVALID_NAME;
        qwBytes += uint64_t(std::max<la_int64_t>(archive_entry_size(pEntry), 0));
        if (++qwEntries > kMaxEntries || qwBytes > kMaxBytes)
            return ERROR_INVALID_DATA;
        if (archive_read_data_skip(reader.get()) != ARCHIVE_OK)
            return ERROR_INVALID_DATA;
    }
    return rc == ARCHIVE_EOF ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

uint32_t CopyData(archive* pReader, archive* pWriter, uint64_t* pqwBytes) {
    const void* pBlock = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int rc;
    while ((rc = archive_read_data_block(pReader, &pBlock, &size, &offset)) == ARCHIVE_OK) {
        *pqwBytes += size;
        if (*pqwBytes > kMaxBytes)
            return ERROR_INVALID_DATA;
        if (archive_write_data_block(pWriter, pBlock, size, offset) != ARCHIVE_OK)
            return ERROR_WRITE_FAULT;
    }
    return rc == ARCHIVE_EOF ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

uint32_t LayEntries(const std::string& csPackage, const std::string& csFolder) {
    ReadArchive reader = OpenPackage(csPackage);
    WriteArchive writer(archive_write_disk_new(), archive_write_free);
    if (!reader || !writer)
        return ERROR_INVALID_DATA;
    // Names are made absolute below the folder here (the checked relative
    // name behind it), so libarchive guards against ".." and links on the way.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT);
    std::string folder = csFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    archive_entry* pEntry = nullptr;
    uint64_t qwBytes = 0;
    int rc;
    while ((rc = archive_read_next_header(reader.get(), &pEntry)) == ARCHIVE_OK) {
        const mode_t type = archive_entry_filetype(pEntry);
        const char* pszName = EntryName(pEntry);
        // The archive is read again: it must not have changed since the check.
        if ((type != AE_IFREG && type != AE_IFDIR) || archive_entry_hardlink(pEntry) ||
            archive_entry_symlink(pEntry) || !IsSafeName(pszName))
            return ERROR_INVALID_NAME;
        archive_entry_set_pathname(pEntry, (folder + pszName).c_str());
        const mode_t perm = archive_entry_perm(pEntry) & 0755;
        archive_entry_set_perm(pEntry, perm | (type == AE_IFDIR ? 0700 : 0600));
        archive_entry_set_uid(pEntry, 0);
        archive_entry_set_gid(pEntry, 0);
        if (archive_write_header(writer.get(), pEntry) != ARCHIVE_OK)
            return ERROR_INVALID_NAME;
        if (type == AE_IFREG) {
            uint32_t dwError = CopyData(reader.get(), writer.get(), &qwBytes);
            if (dwError != ERROR_SUCCESS)
                return dwError;
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            return ERROR_WRITE_FAULT;
    }
    if (rc != ARCHIVE_EOF)
        return ERROR_INVALID_DATA;
    return archive_write_close(writer.get()) == ARCHIVE_OK ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

} // namespace

bool ExtractPackage(const std::string& csPackage, const std::string& csFolder) {
    uint32_t dwError = CheckEntries(csPackage);
    if (dwError == ERROR_SUCCESS)
        dwError = LayEntries(csPackage, csFolder);
    if (dwError != ERROR_SUCCESS)
        return Fail(dwError);
    SetLastError(ERROR_SUCCESS);
    return true;
}

} // namespace platform
