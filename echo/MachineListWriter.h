#pragma once
#include "FileReplacement.h"

#include <string>
#include <vector>

// A machine list file written as a whole, through a FileReplacement, so that a reader finds the old
// list or the new one, never a part of it, even after a crash. The command line's sweep writes its
// list through it without the rest of the machine list's text handling (MachineListFile).
class MachineListWriter {
public:
    static constexpr const char *LineEnd = "\r\n";
    using DiskCalls = FileReplacement::DiskCalls;

    // As FileReplacement::whyNotWritable.
    static std::string whyNotWritable(const std::string &path);
    // 0, or the errno that kept bytes from replacing the file for good: an error in syncing the folder
    // after the rename leaves the new file in place. A file that was there keeps its mode.
    static int replace(const std::string &path, const std::string &bytes);
    // The lines, each ending with LineEnd; std::runtime_error "Cannot create file PATH: REASON" and
    // the file left as it was when it cannot be written.
    static void write(const std::string &path, const std::vector<std::string> &lines);

    static DiskCalls &diskCalls() { return FileReplacement::diskCalls(); }
};
