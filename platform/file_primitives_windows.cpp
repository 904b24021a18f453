// The real Win32 calls behind the Windows file layer, and the gate that fails them for tests.
#ifdef _WIN32
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "platform/file_primitives.h"

namespace quillex::platform {

static_assert(std::is_same_v<Win32Handle, HANDLE>);
static_assert(std::is_same_v<Win32Bool, BOOL>);
static_assert(std::is_same_v<Win32Dword, DWORD>);

FilePrimitives realFilePrimitives() {
    FilePrimitives p;
    p.getFileAttributes = [](FileCall, const wchar_t* path) { return ::GetFileAttributesW(path); };
    p.createDirectory = [](FileCall, const wchar_t* path, SECURITY_ATTRIBUTES* security) {
        return ::CreateDirectoryW(path, security);
    };
    p.createFile = [](FileCall, const wchar_t* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                      DWORD disposition, DWORD attributes, HANDLE model) {
        return ::CreateFileW(path, access, share, security, disposition, attributes, model);
    };
    p.readFile = [](FileCall, HANDLE file, void* buffer, DWORD size, DWORD* got, OVERLAPPED* overlapped) {
        return ::ReadFile(file, buffer, size, got, overlapped);
    };
    p.writeFile = [](FileCall, HANDLE file, const void* buffer, DWORD size, DWORD* put, OVERLAPPED* overlapped) {
        return ::WriteFile(file, buffer, size, put, overlapped);
    };
    p.flushFileBuffers = [](FileCall, HANDLE file) { return ::FlushFileBuffers(file); };
    p.closeHandle = [](FileCall, HANDLE handle) { return ::CloseHandle(handle); };
    p.moveFileEx = [](FileCall, const wchar_t* from, const wchar_t* to, DWORD flags) {
        return ::MoveFileExW(from, to, flags);
    };
    p.deleteFile = [](FileCall, const wchar_t* path) { return ::DeleteFileW(path); };
    p.lockFileEx = [](FileCall, HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                      OVERLAPPED* overlapped) { return ::LockFileEx(file, flags, reserved, low, high, overlapped); };
    p.unlockFileEx = [](FileCall, HANDLE file, DWORD reserved, DWORD low, DWORD high, OVERLAPPED* overlapped) {
        return ::UnlockFileEx(file, reserved, low, high, overlapped);
    };
    return p;
}

FilePrimitives gatedFilePrimitives(FilePrimitives base, std::function<int(FileCall)> gate) {
    // One gate shared by every primitive, so a gate that counts sees all calls.
    const auto shared = std::make_shared<std::function<int(FileCall)>>(std::move(gate));
    // Runs the gate; a refusal becomes the thread's last error and the caller
    // returns the call's failure value.
    auto refused = [shared](FileCall call) {
        const int error = (*shared)(call);
        if (error != 0) ::SetLastError(static_cast<DWORD>(error));
        return error != 0;
    };
    FilePrimitives g;
    g.getFileAttributes = [refused, f = base.getFileAttributes](FileCall c, const wchar_t* path) {
        return refused(c) ? INVALID_FILE_ATTRIBUTES : f(c, path);
    };
    g.createDirectory = [refused, f = base.createDirectory](FileCall c, const wchar_t* path,
                                                            SECURITY_ATTRIBUTES* security) {
        return refused(c) ? FALSE : f(c, path, security);
    };
    g.createFile = [refused, f = base.createFile](FileCall c, const wchar_t* path, DWORD access, DWORD share,
                                                  SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD attributes,
                                                  HANDLE model) {
        return refused(c) ? INVALID_HANDLE_VALUE : f(c, path, access, share, security, disposition, attributes, model);
    };
    g.readFile = [refused, f = base.readFile](FileCall c, HANDLE file, void* buffer, DWORD size, DWORD* got,
                                              OVERLAPPED* overlapped) {
        if (!refused(c)) return f(c, file, buffer, size, got, overlapped);
        if (got != nullptr) *got = 0;
        return FALSE;
    };
    g.writeFile = [refused, f = base.writeFile](FileCall c, HANDLE file, const void* buffer, DWORD size, DWORD* put,
                                                OVERLAPPED* overlapped) {
        if (!refused(c)) return f(c, file, buffer, size, put, overlapped);
        if (put != nullptr) *put = 0;
        return FALSE;
    };
    g.flushFileBuffers = [refused, f = base.flushFileBuffers](FileCall c, HANDLE file) {
        return refused(c) ? FALSE : f(c, file);
    };
    g.closeHandle = [shared, f = base.closeHandle](FileCall c, HANDLE handle) {
        const int error = (*shared)(c);
        const BOOL result = f(c, handle);
        if (error == 0) return result;
        ::SetLastError(static_cast<DWORD>(error));
        return FALSE;
    };
    g.moveFileEx = [refused, f = base.moveFileEx](FileCall c, const wchar_t* from, const wchar_t* to, DWORD flags) {
        return refused(c) ? FALSE : f(c, from, to, flags);
    };
    g.deleteFile = [refused, f = base.deleteFile](FileCall c, const wchar_t* path) {
        return refused(c) ? FALSE : f(c, path);
    };
    g.lockFileEx = [refused, f = base.lockFileEx](FileCall c, HANDLE file, DWORD flags, DWORD reserved, DWORD low,
                                                  DWORD high, OVERLAPPED* overlapped) {
        return refused(c) ? FALSE : f(c, file, flags, reserved, low, high, overlapped);
    };
    g.unlockFileEx = [refused, f = base.unlockFileEx](FileCall c, HANDLE file, DWORD reserved, DWORD low, DWORD high,
                                                      OVERLAPPED* overlapped) {
        return refused(c) ? FALSE : f(c, file, reserved, low, high, overlapped);
    };
    return g;
}

}  // namespace quillex::platform

#endif  // _WIN32
