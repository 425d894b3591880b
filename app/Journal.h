#pragma once

#include <QString>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace app {

// Level of a journal line; the number is what the line's label stands for.
enum class JournalLevel : std::uint8_t {
    Start = 0,
    System = 1,
    Begin = 2,
    End = 3,
    Info = 4,
    Warning = 5,
    Error = 6,
    Data = 7,
    Action = 8,
};

// Where the journal takes its time from. Tests replace both sources.
struct JournalClock {
    std::function<std::int64_t()> tickMs; // monotonic milliseconds, any origin
    std::function<std::tm()> localTime;   // wall-clock date and time of day

    static JournalClock system();
};

// Who is running: the texts of the start line.
struct JournalIdentity {
    std::string executablePath;
    std::string version;
    std::string computerName;
    std::string userName;

    static JournalIdentity current();
};

// One argument of TJournal::WriteFormatted: a text ("%s", "%S") or a whole number ("%d").
class JournalArg {
public:
    JournalArg(const char* text)
        : m_value(std::string(text ? text : "")) {}
    JournalArg(std::string_view text)
        : m_value(std::string(text)) {}
    JournalArg(const std::string& text)
        : m_value(text) {}
    JournalArg(const QString& text)
        : m_value(text.toStdString()) {}
    template <typename Int>
    requires std::is_integral_v<Int> JournalArg(Int number)
        : m_value(static_cast<long long>(number)) {}

    // The argument as "%s" shows it.
    std::string text() const;
    // The argument as "%d" shows it (a text is shown as it is).
    std::string number() const;

private:
    std::variant<std::string, long long> m_value;
};

// Fills a printf-like format: "%s" and "%S" take texts, "%d" numbers, "%%" is one "%".
// A placeholder without an argument stays as written; extra arguments are ignored.
std::string formatJournalText(std::string_view format, std::initializer_list<JournalArg> args);

// Elapsed milliseconds as hh:mm:ss, seconds rounded to nearest with halves to even.
std::string formatElapsed(std::int64_t elapsedMs);

// Line-break pairs and single breaks become one space each, so a message stays on one line.
std::string flattenLineBreaks(std::string_view text);

// Journal file name: folder, prefix (file name part, extension removed, trimmed) + "_",
// then the date as yyyy-mm-dd and ".mjf".
std::filesystem::path journalFileName(const std::filesystem::path& folder, std::string_view prefix,
                                      const std::tm& date);

// The daily journal file: one line per event, each forced to disk before the call returns.
// Opening holds an exclusive advisory lock on the file, so a second writer on the same file
// (another copy of the program on the same day) gets no file and stays silent, as does a
// journal whose folder does not exist. UI thread only.
class TJournal {
public:
    TJournal(const std::filesystem::path& folder, std::string_view prefix,
             JournalIdentity identity = JournalIdentity::current(),
             JournalClock clock = JournalClock::system());
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    void WriteLine(std::string_view text, JournalLevel level);

    // Formats the text (see formatJournalText) and writes it as WriteLine does:
    // WriteFormatted("Rewind Piste %d.", {deck}, JournalLevel::Action).
    void WriteFormatted(std::string_view format, std::initializer_list<JournalArg> args,
                        JournalLevel level) {
        WriteLine(formatJournalText(format, args), level);
    }

    // Exit code written by the destructor's last line.
    void setExitCode(int exitCode) { m_exitCode = exitCode; }

    bool isWriting() const { return m_fd >= 0; }
    const std::filesystem::path& fileName() const { return m_fileName; }

private:
    void open(const JournalIdentity& identity);
    void writeRaw(std::string_view bytes);

    JournalClock m_clock;
    std::filesystem::path m_fileName;
    int m_fd = -1;
    std::vector<std::int64_t> m_timing;
    int m_exitCode = 0;
};

// The process's journal. Until a JournalScope installs one it is a journal without file.
TJournal& Journal();

// Makes a journal the process's journal for the scope's lifetime (main(), tests).
class JournalScope {
public:
    explicit JournalScope(TJournal& journal);
    ~JournalScope();
    JournalScope(const JournalScope&) = delete;
    JournalScope& operator=(const JournalScope&) = delete;

private:
    TJournal* m_previous;
};

} // namespace app
