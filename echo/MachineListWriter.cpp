#include "MachineListWriter.h"

#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

namespace {

constexpr int MaxTemporaryNames = 100;

// 0, or the error that stopped the writing.
int writeAll(int fd, const std::string &bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        written += size_t(put);
    }
    return 0;
}

std::string targetOf(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base36(uint32_t value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36]);
        value /= 36;
    } while (value != 0);
    return digits;
}

// A new file beside target, made with the permissions that new files get; -1 with errno set when
// none can be made.
int createBeside(const std::string &target, std::string &temporary)
{
    std::random_device random;
    for (int attempt = 0; attempt < MaxTemporaryNames; ++attempt) {
        temporary = target + ".tozelo-" + base36(random());
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// 0, or the error that kept the folder's new entry from the disk. A folder this user cannot read,
// or a file system that cannot sync one (EINVAL), leaves nothing more to do.
int syncFolder(const std::string &folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0 && MachineListWriter::diskCalls().fsync(fd.get()) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

} // namespace

MachineListWriter::DiskCalls &MachineListWriter::diskCalls()
{
    static DiskCalls calls{::fsync, ::rename};
    return calls;
}

std::string MachineListWriter::whyNotWritable(const std::string &path)
{
    if (path.empty())
        return std::strerror(ENOENT);
    const std::string target = targetOf(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return std::strerror(EISDIR);
        if (!S_ISREG(info.st_mode))
            return "not a regular file";
        // The rename could replace a read-only file; its owner made it so to keep it.
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return std::strerror(errno);
    } else if (errno != ENOENT) {
        return std::strerror(errno);
    }
    // Only a file made beside it proves that the folder takes one: /proc passes every check above
    // for root.
    std::string temporary;
    const FileDescriptor probe(createBeside(target, temporary));
    if (probe.get() < 0)
        return std::strerror(errno);
    ::unlink(temporary.c_str());
    return std::string();
}

int MachineListWriter::replace(const std::string &path, const std::string &bytes)
{
    const std::string target = targetOf(path);
    std::string temporary;
    FileDescriptor file(createBeside(target, temporary));
    if (file.get() < 0)
        return errno;
    struct stat old {};
    int error = writeAll(file.get(), bytes);
    if (error == 0 && ::stat(target.c_str(), &old) == 0 && fchmod(file.get(), old.st_mode & 07777) != 0)
        error = errno;
    // A full disk may show only when the data is written back; and a rename that reached the disk
    // before the data would leave an empty file after a crash.
    if (error == 0 && diskCalls().fsync(file.get()) != 0)
        error = errno;
    if (const int closed = file.close(); error == 0)
        error = closed;
    if (error == 0 && diskCalls().rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    return syncFolder(folderOf(target));
}

void MachineListWriter::write(const std::string &path, const std::vector<std::string> &lines)
{
    std::string reason = whyNotWritable(path);
    if (reason.empty()) {
        std::string bytes;
        for (const std::string &line : lines)
            bytes += line + LineEnd;
        if (const int error = replace(path, bytes))
            reason = std::strerror(error);
    }
    if (!reason.empty())
        throw std::runtime_error("Cannot create file " + path + ": " + reason);
}
