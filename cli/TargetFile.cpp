#include "TargetFile.h"

#include "sweep/SweepTargets.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct Closer {
    bool owned;
    void operator()(std::FILE *file) const
    {
        if (owned)
            std::fclose(file);
    }
};

struct LineBuffer {
    char *text = nullptr;
    size_t capacity = 0;
    ~LineBuffer() { std::free(text); }
};

// Editors elsewhere start UTF-8 text with a mark.
constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

[[noreturn]] void cannotRead(const std::string &name)
{
    throw TargetFile::Error("cannot read " + TargetFile::shownName(name) + ": " + std::strerror(errno));
}

} // namespace

std::string TargetFile::shownName(const std::string &name)
{
    return name == "-" ? std::string("standard input") : name;
}

size_t TargetFile::read(const std::string &name, const std::function<void(const std::string &)> &take,
                        std::FILE *standardInput)
{
    const bool fromInput = name == "-";
    const std::unique_ptr<std::FILE, Closer> file(fromInput ? standardInput : std::fopen(name.c_str(), "re"),
                                                  Closer{!fromInput});
    if (!file)
        cannotRead(name);
    LineBuffer line;
    size_t number = 0;
    size_t targets = 0;
    errno = 0;
    for (ssize_t length; (length = getline(&line.text, &line.capacity, file.get())) >= 0; errno = 0) {
        ++number;
        std::string text(line.text, size_t(length));
        if (number == 1 && text.rfind(Utf8Mark, 0) == 0)
            text.erase(0, sizeof Utf8Mark - 1);
        text.erase(std::min(text.find('#'), text.size()));
        for (const std::string &target : SweepTargets::wordsOf(text)) {
            try {
                take(target);
            } catch (const std::invalid_argument &e) {
                throw Error(shownName(name) + ":" + std::to_string(number) + ": " + e.what());
            }
            ++targets;
        }
    }
    // A folder opens, and fails at its first read.
    if (std::ferror(file.get()))
        cannotRead(name);
    return targets;
}
