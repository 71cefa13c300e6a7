#pragma once
#include <string>

// Text made safe for the files the program writes for other programs to read.
class TextFields {
public:
    // Bytes that are not UTF-8 become U+FFFD.
    static std::string utf8(const std::string &text);
    // A JSON string, quoted, of the text made UTF-8.
    static std::string json(const std::string &text);
    // A CSV field, quoted when it must be.
    static std::string csv(const std::string &text);
};
