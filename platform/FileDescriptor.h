#pragma once
#include <cerrno>

#include <unistd.h>

// Owns a file descriptor and closes it on every way out of its scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    // Leaves the descriptor open, the caller's to close.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // 0, or the error that closing reported (a write-back that failed).
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};
