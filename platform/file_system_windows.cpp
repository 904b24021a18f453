// Windows file layer: wide-path Win32 calls through the file-call table, write-through replace, whole-range LockFileEx.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/file_primitives.h"
#include "platform/file_system.h"
#include "platform/utf8_sequence.h"
#include "platform/windows_text.h"

namespace quillex::platform {
namespace {

constexpr DWORD kAlreadyExists = ERROR_ALREADY_EXISTS;  // 183: another level or process made it first

FileOutcome failure(FileStatus status, DWORD error, std::string path) {
    return FileOutcome{status, static_cast<int>(error), std::move(path)};
}

template <class T>
FileResult<T> failed(FileStatus status, DWORD error, const std::string& path) {
    FileResult<T> result;
    static_cast<FileOutcome&>(result) = failure(status, error, path);
    return result;
}

bool usablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos && isValidUtf8(path);
}

// A path's wide form, or the status that refuses it: invalidPath for a path
// that is not usable, pathConversionFailed when the conversion itself failed.
struct WidePath {
    std::wstring text;
    FileStatus refusal = FileStatus::ok;

    bool ok() const { return refusal == FileStatus::ok; }
};

WidePath widePath(std::string_view path) {
    if (!usablePath(path)) return {{}, FileStatus::invalidPath};
    WideConversion wide = convertUtf8ToWide(path);
    switch (wide.status) {
        case WideConversionStatus::ok:
            return {std::move(wide.text), FileStatus::ok};
        case WideConversionStatus::invalidUtf8:
            return {{}, FileStatus::invalidPath};
        case WideConversionStatus::conversionFailed:
            break;
    }
    return {{}, FileStatus::pathConversionFailed};
}

// Closes the handle, as the step `closeCall`, however the operation ends.
class Handle {
public:
    Handle(HANDLE handle, FileCall closeCall) : handle_(handle), closeCall_(closeCall) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    // False when the close itself failed.
    bool close() {
        if (!valid()) return true;
        return filePrimitives().closeHandle(closeCall_, release()) != 0;
    }

private:
    HANDLE handle_;
    FileCall closeCall_;
};

}  // namespace

void FileLock::release() {
    if (handle_ < 0) return;
    const HANDLE handle = reinterpret_cast<HANDLE>(std::exchange(handle_, -1));
    // Closing the handle drops the lock even when the explicit unlock fails.
    const FilePrimitives& p = filePrimitives();
    OVERLAPPED whole{};
    p.unlockFileEx(FileCall::releaseLock, handle, 0, MAXDWORD, MAXDWORD, &whole);
    p.closeHandle(FileCall::closeLock, handle);
}

std::optional<std::string> userDataFolder() {
    // The wide variable: the narrow one is in the ANSI code page, which the
    // UTF-8 path checks would refuse for a non-ASCII profile folder.
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    if (appData == nullptr || *appData == L'\0') return std::nullopt;
    std::optional<std::string> folder = narrowFromWide(appData);
    if (!folder || folder->empty()) return std::nullopt;
    return folder;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    path += name;
    return path;
}

FileResult<bool> regularFileExists(const std::string& path) {
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failed<bool>(wide.refusal, 0, path);
    const DWORD attributes = filePrimitives().getFileAttributes(FileCall::statFile, wide.text.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return failed<bool>(FileStatus::statFailed, error, path);
    }
    FileResult<bool> result;
    result.value = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return result;
}

FileOutcome createDirectories(const std::string& path) {
    if (path.empty()) return {};
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failure(wide.refusal, 0, path);
    const std::string parent = parentDirectory(path);
    if (!parent.empty() && parent != path) {
        FileOutcome outer = createDirectories(parent);
        if (!outer.ok()) return outer;
    }
    const FilePrimitives& p = filePrimitives();
    if (p.createDirectory(FileCall::makeFolder, wide.text.c_str(), nullptr) == 0) {
        const DWORD error = ::GetLastError();
        if (error == kAlreadyExists) return {};
        // A drive root (C:\) or a folder above the user's own may refuse
        // creation as access denied although it exists; such a folder is accepted.
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = p.getFileAttributes(FileCall::makeFolder, wide.text.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
        }
        return failure(FileStatus::directoryFailed, error, path);
    }
    return {};
}

FileOutcome removeFile(const std::string& path) {
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failure(wide.refusal, 0, path);
    filePrimitives().deleteFile(FileCall::removeFile, wide.text.c_str());
    return {};
}

FileResult<std::string> readFileBounded(const std::string& path, std::size_t limit) {
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failed<std::string>(wide.refusal, 0, path);
    // Shared with writers and deleters, so a concurrent install is never refused.
    const FilePrimitives& p = filePrimitives();
    Handle file(p.createFile(FileCall::openRead, wide.text.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr),
                FileCall::closeRead);
    if (!file.valid()) return failed<std::string>(FileStatus::openFailed, ::GetLastError(), path);
    // A device or pipe opened under the name is not a settings file.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return failed<std::string>(FileStatus::openFailed, ERROR_INVALID_PARAMETER, path);
    }

    FileResult<std::string> result;
    std::string& text = result.value;
    const std::size_t cap = limit == SIZE_MAX ? limit : limit + 1;  // one byte past the limit tells "too large"
    char buffer[16384];
    while (text.size() < cap) {
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, cap - text.size()));
        DWORD got = 0;
        if (p.readFile(FileCall::readBytes, file.get(), buffer, want, &got, nullptr) == 0) {
            return failed<std::string>(FileStatus::readFailed, ::GetLastError(), path);
        }
        if (got == 0) break;
        text.append(buffer, std::min<std::size_t>(want, got));
    }
    if (text.size() > limit) return failed<std::string>(FileStatus::tooLarge, 0, path);
    return result;
}

FileOutcome writeTemporaryFile(const std::string& path, std::string_view text) {
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failure(wide.refusal, 0, path);
    const FilePrimitives& p = filePrimitives();
    Handle file(p.createFile(FileCall::openTemporary, wide.text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr),
                FileCall::closeTemporary);
    if (!file.valid()) return failure(FileStatus::createFailed, ::GetLastError(), path);

    DWORD error = 0;
    std::size_t written = 0;
    while (written < text.size()) {
        // WriteFile takes a 32-bit count: larger texts go in pieces.
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1u << 30));
        DWORD put = 0;
        if (p.writeFile(FileCall::writeTemporary, file.get(), text.data() + written, want, &put, nullptr) == 0) {
            error = ::GetLastError();
            break;
        }
        if (put == 0) {  // no progress and no error: the device takes no more
            error = ERROR_DISK_FULL;
            break;
        }
        written += put;
    }
    if (error == 0 && p.flushFileBuffers(FileCall::syncTemporary, file.get()) == 0) error = ::GetLastError();
    if (!file.close() && error == 0) error = ::GetLastError();
    if (error != 0) return failure(FileStatus::writeFailed, error, path);
    return {};
}

FileOutcome installFile(const std::string& temporaryPath, const std::string& path) {
    const WidePath to = widePath(path);
    if (!to.ok()) return failure(to.refusal, 0, path);
    const WidePath from = widePath(temporaryPath);
    if (!from.ok()) return failure(from.refusal, 0, temporaryPath);
    // Write-through: the move is on the disk before the call returns, so no
    // folder sync follows.
    if (filePrimitives().moveFileEx(FileCall::renameFile, from.text.c_str(), to.text.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return failure(FileStatus::renameFailed, ::GetLastError(), path);
    }
    return {};
}

FileResult<FileLock> lockFile(const std::string& path) {
    const WidePath wide = widePath(path);
    if (!wide.ok()) return failed<FileLock>(wide.refusal, 0, path);
    if (FileOutcome folder = createDirectories(parentDirectory(path)); !folder.ok()) {
        FileResult<FileLock> result;
        static_cast<FileOutcome&>(result) = std::move(folder);
        return result;
    }
    const FilePrimitives& p = filePrimitives();
    Handle file(p.createFile(FileCall::openLock, wide.text.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr),
                FileCall::closeLock);
    if (!file.valid()) return failed<FileLock>(FileStatus::lockFailed, ::GetLastError(), path);
    // Exclusive over the whole range and waiting without limit; the lock
    // belongs to this handle, so another handle in this process waits too.
    OVERLAPPED whole{};
    if (p.lockFileEx(FileCall::takeLock, file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) == 0) {
        return failed<FileLock>(FileStatus::lockFailed, ::GetLastError(), path);
    }
    FileResult<FileLock> result;
    result.value = FileLock(reinterpret_cast<std::intptr_t>(file.release()));
    return result;
}

}  // namespace quillex::platform

#endif  // _WIN32
