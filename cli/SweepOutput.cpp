#include "SweepOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool isOfType(int fd, mode_t type)
{
    struct stat info {};
    return fstat(fd, &info) == 0 && (info.st_mode & S_IFMT) == type;
}

} // namespace

SweepOutput::SweepOutput(const std::string &path, int standardOutput)
    : m_path(path), m_fd(standardOutput), m_file(path.empty() ? nullptr : std::make_unique<FileReplacement>(path))
{
    if (m_file)
        m_error = m_file->error();
}

bool SweepOutput::write(const std::string &bytes)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error == 0)
        m_error = m_file ? m_file->append(bytes.data(), bytes.size())
                         : FileReplacement::writeAll(m_fd, bytes.data(), bytes.size());
    m_readerGone = m_error == EPIPE && !m_file && isOfType(m_fd, S_IFIFO);
    return m_error == 0;
}

// A device or a pipe has nothing to sync.
void SweepOutput::finish()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error != 0)
        return;
    if (m_file)
        m_error = m_file->commit();
    else if (isOfType(m_fd, S_IFREG) && fsync(m_fd) != 0 && errno != EINVAL)
        m_error = errno;
}

bool SweepOutput::failed() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error != 0 && !m_readerGone;
}

bool SweepOutput::readerGone() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_readerGone;
}

std::string SweepOutput::failure() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error == 0)
        return std::string();
    return "cannot write " + (m_file ? m_path : std::string("standard output")) + ": " + std::strerror(m_error);
}
