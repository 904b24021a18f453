// The real POSIX calls behind the file layer, and the gate that fails them for tests.
#ifndef _WIN32
#include "platform/file_primitives.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

namespace quillex::platform {

FilePrimitives realFilePrimitives() {
    FilePrimitives p;
    p.stat = [](FileCall, const char* path, struct stat* info) { return ::stat(path, info); };
    p.mkdir = [](FileCall, const char* path, mode_t mode) { return ::mkdir(path, mode); };
    p.open = [](FileCall, const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
    p.read = [](FileCall, int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); };
    p.write = [](FileCall, int fd, const void* buffer, size_t size) { return ::write(fd, buffer, size); };
    p.fsync = [](FileCall, int fd) { return ::fsync(fd); };
    p.close = [](FileCall, int fd) { return ::close(fd); };
    p.rename = [](FileCall, const char* from, const char* to) { return std::rename(from, to); };
    p.unlink = [](FileCall, const char* path) { return ::unlink(path); };
    p.flock = [](FileCall, int fd, int operation) { return ::flock(fd, operation); };
    return p;
}

FilePrimitives gatedFilePrimitives(FilePrimitives base, std::function<int(FileCall)> gate) {
    // One gate shared by every primitive, so a gate that counts sees all calls.
    const auto shared = std::make_shared<std::function<int(FileCall)>>(std::move(gate));
    // Runs the gate; a refusal sets errno and yields the call's failure value.
    auto refused = [shared](FileCall call) {
        const int error = (*shared)(call);
        if (error != 0) errno = error;
        return error != 0;
    };
    FilePrimitives g;
    g.stat = [refused, f = base.stat](FileCall c, const char* path, struct stat* info) {
        return refused(c) ? -1 : f(c, path, info);
    };
    g.mkdir = [refused, f = base.mkdir](FileCall c, const char* path, mode_t mode) {
        return refused(c) ? -1 : f(c, path, mode);
    };
    g.open = [refused, f = base.open](FileCall c, const char* path, int flags, mode_t mode) {
        return refused(c) ? -1 : f(c, path, flags, mode);
    };
    g.read = [refused, f = base.read](FileCall c, int fd, void* buffer, size_t size) -> ssize_t {
        return refused(c) ? -1 : f(c, fd, buffer, size);
    };
    g.write = [refused, f = base.write](FileCall c, int fd, const void* buffer, size_t size) -> ssize_t {
        return refused(c) ? -1 : f(c, fd, buffer, size);
    };
    g.fsync = [refused, f = base.fsync](FileCall c, int fd) { return refused(c) ? -1 : f(c, fd); };
    g.close = [shared, f = base.close](FileCall c, int fd) {
        const int error = (*shared)(c);
        const int result = f(c, fd);
        if (error == 0) return result;
        errno = error;
        return -1;
    };
    g.rename = [refused, f = base.rename](FileCall c, const char* from, const char* to) {
        return refused(c) ? -1 : f(c, from, to);
    };
    g.unlink = [refused, f = base.unlink](FileCall c, const char* path) { return refused(c) ? -1 : f(c, path); };
    g.flock = [refused, f = base.flock](FileCall c, int fd, int operation) {
        return refused(c) ? -1 : f(c, fd, operation);
    };
    return g;
}

}  // namespace quillex::platform

#endif  // _WIN32
