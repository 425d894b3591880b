#include "app/Journal.h"

#include "app/tuvalVersion.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace app {
namespace {

constexpr std::array<std::string_view, 9> kLabels = {
    "Start  ", "System ", "Begin  ", "End    ", "Info   ",
    "Warning", "Error  ", "Data   ", "Action ",
};
constexpr std::string_view kNoLabel = "       ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kElapsed = "Temps écoulé: ";

std::string_view labelOf(JournalLevel level) {
    const auto index = static_cast<std::size_t>(level);
    return index < kLabels.size() ? kLabels[index] : kNoLabel;
}

std::string padded(int value, int width = 2) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

std::string dateText(const std::tm& t) {
    return padded(t.tm_year + 1900, 4) + "-" + padded(t.tm_mon + 1) + "-" + padded(t.tm_mday);
}

std::string dateTimeText(const std::tm& t) {
    return dateText(t) + " " + padded(t.tm_hour) + ":" + padded(t.tm_min) + ":" + padded(t.tm_sec);
}

void replaceAll(std::string& text, std::string_view what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        text.replace(at, what.size(), " ");
}

std::string trimSpaces(std::string text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

TJournal*& installedJournal() {
    static TJournal* journal = nullptr;
    return journal;
}

} // namespace

JournalClock JournalClock::system() {
    return {
        [] {
            using namespace std::chrono;
            return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        },
        [] {
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            return local;
        },
    };
}

JournalIdentity JournalIdentity::current() {
    JournalIdentity identity;
    std::error_code error;
    identity.executablePath = std::filesystem::read_symlink("/proc/self/exe", error).string();
    identity.version = kVersion;
    std::array<char, 256> host{};
    if (gethostname(host.data(), host.size() - 1) == 0)
        identity.computerName = host.data();
    if (const passwd* user = getpwuid(geteuid()))
        identity.userName = user->pw_name;
    else if (const char* name = std::getenv("USER"))
        identity.userName = name;
    return identity;
}

std::string JournalArg::text() const {
    if (const auto* number = std::get_if<long long>(&m_value))
        return std::to_string(*number);
    return std::get<std::string>(m_value);
}

std::string JournalArg::number() const {
    return text();
}

std::string formatJournalText(std::string_view format, std::initializer_list<JournalArg> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if ((kind == 's' || kind == 'S' || kind == 'd') && next != args.end()) {
            out += kind == 'd' ? next->number() : next->text();
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string formatElapsed(std::int64_t elapsedMs) {
    if (elapsedMs < 0)
        elapsedMs = 0;
    std::int64_t seconds = elapsedMs / 1000;
    const std::int64_t rest = elapsedMs % 1000;
    if (rest > 500 || (rest == 500 && seconds % 2 == 1))
        ++seconds;
    char buffer[64];
    std::snprintf(
        buffer, sizeof buffer, "%2.2lld:%2.2lld:%2.2lld", static_cast<long long>(seconds / 3600),
        static_cast<long long>((seconds / 60) % 60), static_cast<long long>(seconds % 60));
    return buffer;
}

std::string flattenLineBreaks(std::string_view text) {
    std::string flat(text);
    replaceAll(flat, "\n\r");
    replaceAll(flat, "\r\n");
    replaceAll(flat, "\n");
    replaceAll(flat, "\r");
    return flat;
}

std::filesystem::path journalFileName(const std::filesystem::path& folder, std::string_view prefix,
                                      const std::tm& date) {
    std::string stem =
        trimSpaces(std::filesystem::path(prefix).filename().replace_extension().string());
    if (!stem.empty())
        stem += "_";
    return folder / (stem + dateText(date) + ".mjf");
}

TJournal::TJournal(const std::filesystem::path& folder, std::string_view prefix,
                   JournalIdentity identity, JournalClock clock)
    : m_clock(std::move(clock)) {
    if (folder.empty())
        return;
    m_fileName = journalFileName(folder, prefix, m_clock.localTime());
    open(identity);
}

TJournal::~TJournal() {
    while (!m_timing.empty())
        WriteLine("Freeing internal timer leak", JournalLevel::End);
    WriteFormatted("Processus terminé avec le code de sortie %d", {m_exitCode},
                   JournalLevel::System);
    if (m_fd >= 0) {
        ::fsync(m_fd);
        ::close(m_fd); // also releases the lock
    }
}

void TJournal::open(const JournalIdentity& identity) {
    m_fd = ::open(m_fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    // Others may read the file while it is held, nobody else may write it.
    const bool held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    const off_t size = held ? ::lseek(m_fd, 0, SEEK_END) : -1;
    if (size < 0) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_fileName.clear();
        return;
    }
    if (size > 0)
        writeRaw(kLineEnd);
    WriteFormatted(
        "Processus \"%s\" version \"%s\" demarre sur \"%s\\%s\"",
        {identity.executablePath, identity.version, identity.computerName, identity.userName},
        JournalLevel::Start);
}

void TJournal::WriteLine(std::string_view text, JournalLevel level) {
    std::string message = flattenLineBreaks(text);
    const std::int64_t now = m_clock.tickMs();
    if (level == JournalLevel::Begin)
        m_timing.push_back(now);
    if (level == JournalLevel::End) {
        std::int64_t elapsed = 0;
        if (!m_timing.empty()) {
            elapsed = now - m_timing.back();
            m_timing.pop_back();
        }
        message += message.empty() ? std::string(kElapsed) : " - " + std::string(kElapsed);
        message += formatElapsed(elapsed);
    }
    if (m_fd < 0)
        return;
    std::string line = "[" + dateTimeText(m_clock.localTime()) + "][";
    line += labelOf(level);
    line += "] " + message;
    line += kLineEnd;
    writeRaw(line);
    ::fsync(m_fd);
}

void TJournal::writeRaw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written <= 0)
            return; // write errors after opening are not the journal's to report
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

TJournal& Journal() {
    static TJournal silent({}, {});
    TJournal* installed = installedJournal();
    return installed ? *installed : silent;
}

JournalScope::JournalScope(TJournal& journal)
    : m_previous(installedJournal()) {
    installedJournal() = &journal;
}

JournalScope::~JournalScope() {
    installedJournal() = m_previous;
}

} // namespace app
