#pragma once
#include <functional>
#include <string>

// A file replaced as a whole: its new bytes go to a temporary file beside it, which takes its place
// by a rename once they reached the disk, so that a reader finds the old file or the new one, never
// a part of it, even after a crash. A symbolic link stays a link, the file it points to being the one
// replaced, and a file that was there keeps its mode. The bytes may come in parts, as a sweep's
// answers do; a replacement not committed leaves the file as it was.
class FileReplacement {
public:
    // Makes the temporary file; error() tells why none could be made.
    explicit FileReplacement(const std::string &path);
    // Takes the temporary file away unless it was committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // 0, or the errno of the first step that failed: nothing is written after it.
    int error() const { return m_error; }
    // 0, or the error that kept the bytes from the temporary file.
    int append(const char *bytes, size_t size);
    // 0, or the error that kept the new bytes from replacing the file for good: an error in
    // syncing the folder after the rename leaves the new file in place.
    int commit();

    // Why replacing path would be refused before anything is written: a missing or unwritable
    // folder, a read-only file, a folder or a device in its place, a folder that takes no new file
    // (a file is made beside path and removed to prove it). Empty when nothing stands in the way.
    static std::string whyNotWritable(const std::string &path);
    // 0, or the error that kept the bytes, all of them, from fd.
    static int writeAll(int fd, const char *bytes, size_t size);

    // The calls that carry a replacement to the disk: the system's own, unless a test watches their
    // order or makes one fail.
    struct DiskCalls {
        std::function<int(int fd)> fsync;
        std::function<int(const char *from, const char *to)> rename;
    };
    static DiskCalls &diskCalls();

private:
    int fail(int error);

    const std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_pending = false; // the temporary file is there, and ours to take away
    int m_error = 0;
};
