#pragma once
#include "echo/FileReplacement.h"

#include <memory>
#include <mutex>
#include <string>

// Where a sweep's result goes: standard output, or a file (-o) that the result replaces as a whole
// once it is complete. It may be written from several threads at once, as JSON lines are while the
// answers come. The first failure ends the writing and is kept with its reason; a file is then left
// as it was. A pipe on standard output whose reader went away (as `head` does once it has its lines)
// is no failure: the reader wants no more.
class SweepOutput {
public:
    // path "" for standard output (the descriptor given).
    explicit SweepOutput(const std::string &path, int standardOutput = 1);

    // False once nothing more can be written.
    bool write(const std::string &bytes);
    // Once the result is complete: the file takes its place; standard output, when it is a file,
    // reaches its disk, so that an error the disk tells only then is not missed.
    void finish();

    bool failed() const;
    // Where standard output is a pipe, its reader closed it.
    bool readerGone() const;
    // What failed and why, such as "cannot write standard output: No space left on device".
    std::string failure() const;

private:
    const std::string m_path;
    const int m_fd;
    std::unique_ptr<FileReplacement> m_file;
    mutable std::mutex m_mutex;
    int m_error = 0;
    bool m_readerGone = false;
};
