#include "FileReplacement.h"

#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

constexpr int MaxTemporaryNames = 100;

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
    if (fd.get() >= 0 && FileReplacement::diskCalls().fsync(fd.get()) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

} // namespace

FileReplacement::DiskCalls &FileReplacement::diskCalls()
{
    static DiskCalls calls{::fsync, ::rename};
    return calls;
}

FileReplacement::FileReplacement(const std::string &path) : m_target(targetOf(path))
{
    m_fd = createBeside(m_target, m_temporary);
    if (m_fd < 0)
        m_error = errno;
    m_pending = m_fd >= 0;
}

FileReplacement::~FileReplacement()
{
    fail(ECANCELED);
}

// The temporary file goes at once: nothing more will reach it.
int FileReplacement::fail(int error)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (m_pending)
        ::unlink(m_temporary.c_str());
    m_pending = false;
    m_error = error;
    return error;
}

int FileReplacement::writeAll(int fd, const char *bytes, size_t size)
{
    for (size_t written = 0; written < size;) {
        const ssize_t put = ::write(fd, bytes + written, size - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        written += size_t(put);
    }
    return 0;
}

int FileReplacement::append(const char *bytes, size_t size)
{
    if (m_error != 0)
        return m_error;
    const int error = writeAll(m_fd, bytes, size);
    return error == 0 ? 0 : fail(error);
}

// A full disk may show only when the data is written back; and a rename that reached the disk
// before the data would leave an empty file after a crash.
int FileReplacement::commit()
{
    if (m_error != 0)
        return m_error;
    struct stat old {};
    if (::stat(m_target.c_str(), &old) == 0 && fchmod(m_fd, old.st_mode & 07777) != 0)
        return fail(errno);
    if (diskCalls().fsync(m_fd) != 0)
        return fail(errno);
    const int closed = ::close(m_fd);
    const int closeError = errno;
    m_fd = -1;
    if (closed != 0)
        return fail(closeError);
    if (diskCalls().rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return fail(errno);
    m_pending = false;
    return syncFolder(folderOf(m_target));
}

std::string FileReplacement::whyNotWritable(const std::string &path)
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
