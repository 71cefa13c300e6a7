#include "MachineListWriter.h"

#include <cstring>
#include <stdexcept>

std::string MachineListWriter::whyNotWritable(const std::string &path)
{
    return FileReplacement::whyNotWritable(path);
}

int MachineListWriter::replace(const std::string &path, const std::string &bytes)
{
    FileReplacement file(path);
    if (const int error = file.append(bytes.data(), bytes.size()))
        return error;
    return file.commit();
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
