// On Windows the record is read through a handle that shares reading, writing and deleting, so
// that the station keeps appending to it and it can still be moved away; its identity is the
// volume's serial number and the file's index on it.
#include <windows.h>

#include <string>

#include "os_error.h"
#include "outbox_file.h"
#include "wide_text.h"

namespace qvlink::records {
namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string IdentityOf(const BY_HANDLE_FILE_INFORMATION& about) {
    const unsigned long long index =
        (static_cast<unsigned long long>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    return std::to_string(about.dwVolumeSerialNumber) + ":" + std::to_string(index);
}

}  // namespace

bool OutboxFile::open() const {
    return handle_ != nullptr;
}

OutboxFile::~OutboxFile() {
    Close();
}

void OutboxFile::Close() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    identity_.clear();
}

Status OutboxFile::Open(const std::string& path) {
    Close();
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, SHARE_ALL, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const StatusKind kind = KindOfLastError(error);
        if (kind == StatusKind::NotFound)
            return Status::Error(kind, "there is no record file " + path + " yet");
        return Status::Error(kind, "cannot read the record file " + path, LastErrorText(error));
    }
    BY_HANDLE_FILE_INFORMATION about{};
    // A pipe or a device put where a record belongs is not read.
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &about) ||
        (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return Status::Error(StatusKind::Foreign, "cannot read the record file " + path,
                             "it is not a regular file");
    }
    handle_ = file;
    identity_ = IdentityOf(about);
    return Status::Ok();
}

std::uint64_t OutboxFile::Size() const {
    LARGE_INTEGER size{};
    if (handle_ == nullptr || !GetFileSizeEx(static_cast<HANDLE>(handle_), &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

long long OutboxFile::ReadAt(std::uint64_t offset, char* into, std::size_t size) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD wanted = size < 0x40000000 ? static_cast<DWORD>(size) : 0x40000000;
    if (ReadFile(static_cast<HANDLE>(handle_), into, wanted, &got, &at)) return got;
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

std::string OutboxFile::CurrentPath() const {
    if (handle_ == nullptr) return {};
    const HANDLE file = static_cast<HANDLE>(handle_);
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) &&
        standard.DeletePending)
        return {};
    std::wstring wide(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(
        file, wide.data(), static_cast<DWORD>(wide.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= wide.size()) return {};
    wide.resize(length);
    // "\\?\C:\..." as the call gives it; "C:\..." as the operator writes it, in UTF-8 as the
    // record was opened with.
    if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0)
        wide = L"\\\\" + wide.substr(8);
    else if (wide.rfind(L"\\\\?\\", 0) == 0)
        wide = wide.substr(4);
    return Utf8FromWide(wide);
}

std::string OutboxFile::IdentityAt(const std::string& path) {
    // No access asked: only the file's information is read, whoever has it open.
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), 0, SHARE_ALL, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION about{};
    const bool known = GetFileInformationByHandle(file, &about) != 0;
    CloseHandle(file);
    return known ? IdentityOf(about) : std::string();
}

}  // namespace qvlink::records
