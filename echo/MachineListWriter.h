#pragma once
#include <functional>
#include <string>
#include <vector>

// A machine list file written as a whole: through a temporary file beside it and a rename, so that
// a reader finds the old list or the new one, never a part of it, even after a crash: the new bytes
// reach the disk before the rename, and the rename before the call returns. A symbolic link stays a
// link, the file it points to being the one replaced. The command line's sweep writes its list
// through it without the rest of the machine list's text handling (MachineListFile).
class MachineListWriter {
public:
    static constexpr const char *LineEnd = "\r\n";

    // Why writing path would be refused before anything is written: a missing or unwritable folder,
    // a read-only file, a folder or a device in its place, a folder that takes no new file (a file
    // is made beside path and removed to prove it). Empty when nothing stands in the way.
    static std::string whyNotWritable(const std::string &path);
    // 0, or the errno that kept bytes from replacing the file for good: an error in syncing the folder
    // after the rename leaves the new file in place. A file that was there keeps its mode.
    static int replace(const std::string &path, const std::string &bytes);
    // The lines, each ending with LineEnd; std::runtime_error "Cannot create file PATH: REASON" and
    // the file left as it was when it cannot be written.
    static void write(const std::string &path, const std::vector<std::string> &lines);

    // The calls that carry a replacement to the disk: the system's own, unless a test watches their
    // order or makes one fail.
    struct DiskCalls {
        std::function<int(int fd)> fsync;
        std::function<int(const char *from, const char *to)> rename;
    };
    static DiskCalls &diskCalls();
};
