#pragma once
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

// A file of sweep targets: one or more a line, separated by blanks or commas, '#' starting a comment
// that runs to the end of its line; a UTF-8 mark before the first is skipped. "-" names standard input.
class TargetFile {
public:
    // Told as "NAME:LINE: what" or "cannot read NAME: why".
    struct Error : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // Hands each target of the file to take, in order; what take throws as std::invalid_argument
    // comes back as an Error naming the file and the line. Returns how many targets there were.
    static size_t read(const std::string &name, const std::function<void(const std::string &)> &take,
                       std::FILE *standardInput = stdin);

    // How the file is called in messages.
    static std::string shownName(const std::string &name);
};
