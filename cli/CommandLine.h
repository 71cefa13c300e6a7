#pragma once
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// Arguments of one command: positional words, "--name value" (or "--name=value") options, "-n value"
// for a name given with one dash, and "--flag" switches ("-f" for one given with one dash). A word
// that starts with a dash and names no option is refused. An option given twice keeps both values.
// A list option takes a list of numbers ("80,443", "8000-8010") as its value when one is given,
// inline or as the next word, and stands alone (an empty value) otherwise: an address or a name
// that follows it is a word of its own.
class CommandLine {
public:
    struct UsageError : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // knownOptions: the option names (without dashes) the command accepts, each with a value;
    // knownFlags: those it accepts without one; knownLists: those whose list of numbers may be left out.
    CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &knownOptions,
                const std::vector<std::string> &knownFlags = {}, const std::vector<std::string> &knownLists = {});

    const std::vector<std::string> &positional() const { return m_positional; }
    bool has(const std::string &name) const { return m_options.count(name) != 0; }
    // The last value given.
    std::string text(const std::string &name, const std::string &fallback) const;
    // Every value given, in order.
    std::vector<std::string> texts(const std::string &name) const;
    // The option's value as a whole decimal number, or fallback when absent; UsageError otherwise.
    int integer(const std::string &name, int fallback) const;
    // The same in milliseconds, where the number may end in ms or s.
    int milliseconds(const std::string &name, int fallback) const;
    // The same a second, where the number may end in k (thousands) or M (millions).
    int perSecond(const std::string &name, int fallback) const;
    // value, or UsageError naming the option when it is below 1.
    static int positive(const std::string &name, int value);
    // The option's value as the name of a file that can be written now, or "" when
    // absent; UsageError when it is empty or its folder, or a file already there, refuses it. Checked
    // before anything is sent, so that a run does not end in a file that cannot be saved.
    std::string writableFile(const std::string &name) const;

private:
    struct Unit {
        std::string suffix;
        int factor;
    };

    int scaled(const std::string &name, int fallback, const std::vector<Unit> &units, const std::string &wanted) const;
    static bool known(const std::vector<std::string> &names, const std::string &name);
    static bool numberList(const std::string &word);

    std::vector<std::string> m_positional;
    std::multimap<std::string, std::string> m_options;
};
