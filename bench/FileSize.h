#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

// A history's size on disk: the database and its write-ahead log.
inline double megabytesOf(const std::string &file)
{
    std::error_code error;
    uintmax_t size = 0;
    for (const char *suffix : {"", "-wal"})
        if (const uintmax_t part = std::filesystem::file_size(file + suffix, error); !error)
            size += part;
    return double(size) / 1e6;
}
