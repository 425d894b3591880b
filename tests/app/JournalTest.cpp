#include "app/Journal.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using app::JournalLevel;
using app::TJournal;

namespace {

std::tm dateOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// Time the tests move by hand.
struct FakeTime {
    std::int64_t ticks = 0;
    std::tm now = dateOf(2026, 3, 4, 5, 6, 7);

    app::JournalClock clock() {
        return {[this] { return ticks; },
                [this] {
                    return now;
                }};
    }
};

const app::JournalIdentity kIdentity{"/opt/tuval/tuval", "1.0.0.1", "studio", "dj"};

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tuval-journal-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::unique_ptr<TJournal> open() {
        return std::make_unique<TJournal>(m_folder, "tuval", kIdentity, m_time.clock());
    }
    fs::path file() const { return m_folder / "tuval_2026-03-04.mjf"; }

    std::string content() const {
        std::ifstream in(file(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    // Lines without their CR LF; fails when a line is not ended by CR LF.
    std::vector<std::string> lines() const {
        const std::string all = content();
        std::vector<std::string> result;
        std::size_t start = 0;
        for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
            result.push_back(all.substr(start, end - start));
        EXPECT_EQ(start, all.size()) << "text after the last CR LF";
        return result;
    }

    fs::path m_folder;
    FakeTime m_time;
};

const std::string kStamp = "[2026-03-04 05:06:07]";
const std::string kStartLine =
    kStamp + "[Start  ] Processus \"/opt/tuval/tuval\" version \"1.0.0.1\" demarre sur "
             "\"studio\\dj\"";

} // namespace

TEST(JournalFileName, PrefixIsTheFileNameWithoutExtensionTrimmed) {
    const std::tm date = dateOf(2026, 12, 1);
    const struct {
        std::string prefix;
        std::string name;
    } cases[] = {
        {"tuval", "tuval_2026-12-01.mjf"}, {"/usr/local/bin/tuval.exe", "tuval_2026-12-01.mjf"},
        {" zem ", "zem_2026-12-01.mjf"},   {"", "2026-12-01.mjf"},
        {"   ", "2026-12-01.mjf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::journalFileName("/var/Log", c.prefix, date), fs::path("/var/Log") / c.name)
            << c.prefix;
}

TEST(JournalText, LineBreaksBecomeOneSpaceEach) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"a\r\nb", "a b"},        {"a\n\rb", "a b"},       {"a\nb\rc", "a b c"},
        {"a\n\r\n\rb", "a  b"},   {"a\r\n\r\nb", "a   b"}, {"\r\r\n\n", "   "},
        {"no break", "no break"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::flattenLineBreaks(c.in), c.out);
}

TEST(JournalText, ElapsedRoundsHalvesToEven) {
    const struct {
        std::int64_t ms;
        std::string text;
    } cases[] = {
        {0, "00:00:00"},     {499, "00:00:00"},        {500, "00:00:00"},  {501, "00:00:01"},
        {999, "00:00:01"},   {1500, "00:00:02"},       {2500, "00:00:02"}, {3725400, "01:02:05"},
        {59999, "00:01:00"}, {360000000, "100:00:00"}, {-20, "00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::formatElapsed(c.ms), c.text) << c.ms;
}

TEST(JournalText, FormatFillsPlaceholdersInOrder) {
    using app::formatJournalText;
    EXPECT_EQ(formatJournalText("Rewind Piste %d.", {2}), "Rewind Piste 2.");
    EXPECT_EQ(formatJournalText("Lecture du fichier : %S sur la piste %d", {"a.mp3", 1}),
              "Lecture du fichier : a.mp3 sur la piste 1");
    EXPECT_EQ(formatJournalText("   Fichier : %s", {QString("é.wav")}), "   Fichier : é.wav");
    EXPECT_EQ(formatJournalText("100%% %s %d", {std::string("x")}), "100% x %d");
    EXPECT_EQ(formatJournalText("%x %", {1}), "%x %");
}

TEST_F(JournalTest, StartLineThenLinesWithLabelsAndCrLf) {
    {
        auto journal = open();
        ASSERT_TRUE(journal->isWriting());
        EXPECT_EQ(journal->fileName(), file());
        journal->WriteLine("system", JournalLevel::System);
        journal->WriteLine("info", JournalLevel::Info);
        journal->WriteLine("warning", JournalLevel::Warning);
        journal->WriteLine("error", JournalLevel::Error);
        journal->WriteLine("data", JournalLevel::Data);
        journal->WriteLine("action", JournalLevel::Action);
        journal->WriteLine("two\r\nlines", JournalLevel::Info);
        journal->setExitCode(3);
    }
    const std::vector<std::string> expected = {
        kStartLine,
        kStamp + "[System ] system",
        kStamp + "[Info   ] info",
        kStamp + "[Warning] warning",
        kStamp + "[Error  ] error",
        kStamp + "[Data   ] data",
        kStamp + "[Action ] action",
        kStamp + "[Info   ] two lines",
        kStamp + "[System ] Processus terminé avec le code de sortie 3",
    };
    EXPECT_EQ(lines(), expected);
}

TEST_F(JournalTest, EveryLineIsOnDiskBeforeTheCallReturns) {
    auto journal = open();
    journal->WriteLine("now", JournalLevel::Info);
    const auto written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], kStamp + "[Info   ] now");
}

TEST_F(JournalTest, BeginAndEndNestAndShowTheElapsedTime) {
    auto journal = open();
    journal->WriteLine("Form Create", JournalLevel::Begin);
    m_time.ticks = 1000;
    journal->WriteLine("Load Piste Audio", JournalLevel::Begin);
    m_time.ticks = 2500;
    journal->WriteLine("Load Piste Audio", JournalLevel::End);
    m_time.ticks = 3725400;
    journal->WriteLine("Form Close", JournalLevel::End);
    journal->WriteLine("Form Create", JournalLevel::Begin);
    m_time.ticks += 999;
    journal->WriteLine("", JournalLevel::End);
    journal->WriteLine("unpaired", JournalLevel::End);

    const auto written = lines();
    ASSERT_EQ(written.size(), 8u);
    EXPECT_EQ(written[1], kStamp + "[Begin  ] Form Create");
    EXPECT_EQ(written[3], kStamp + "[End    ] Load Piste Audio - Temps écoulé: 00:00:02");
    EXPECT_EQ(written[4], kStamp + "[End    ] Form Close - Temps écoulé: 01:02:05");
    EXPECT_EQ(written[6], kStamp + "[End    ] Temps écoulé: 00:00:01");
    EXPECT_EQ(written[7], kStamp + "[End    ] unpaired - Temps écoulé: 00:00:00");
}

TEST_F(JournalTest, DestructionClosesOpenBeginsBeforeTheExitLine) {
    {
        auto journal = open();
        journal->WriteLine("Form Create", JournalLevel::Begin);
        m_time.ticks = 4000;
        journal->WriteLine("Load Piste Audio", JournalLevel::Begin);
        m_time.ticks = 10000;
    }
    const auto written = lines();
    ASSERT_EQ(written.size(), 6u);
    EXPECT_EQ(written[3],
              kStamp + "[End    ] Freeing internal timer leak - Temps écoulé: 00:00:06");
    EXPECT_EQ(written[4],
              kStamp + "[End    ] Freeing internal timer leak - Temps écoulé: 00:00:10");
    EXPECT_EQ(written[5], kStamp + "[System ] Processus terminé avec le code de sortie 0");
}

TEST_F(JournalTest, SecondRunAppendsAfterAnEmptyLine) {
    open()->WriteLine("first run", JournalLevel::Info);
    m_time.now.tm_hour = 23;
    open()->WriteLine("second run", JournalLevel::Info);
    const auto written = lines();
    ASSERT_EQ(written.size(), 7u);
    EXPECT_EQ(written[1], kStamp + "[Info   ] first run");
    EXPECT_EQ(written[3], "");
    EXPECT_EQ(written[4].substr(0, 21), "[2026-03-04 23:06:07]");
    EXPECT_EQ(written[5], "[2026-03-04 23:06:07][Info   ] second run");
}

TEST_F(JournalTest, RunPastMidnightKeepsTheFileOfItsStartDate) {
    auto journal = open();
    m_time.now = dateOf(2026, 3, 5, 0, 0, 1);
    journal->WriteLine("after midnight", JournalLevel::Info);
    EXPECT_EQ(lines().back(), "[2026-03-05 00:00:01][Info   ] after midnight");
    EXPECT_FALSE(fs::exists(m_folder / "tuval_2026-03-05.mjf"));
}

TEST_F(JournalTest, SilentWithoutItsFolder) {
    TJournal journal(m_folder / "Log", "tuval", kIdentity, m_time.clock());
    EXPECT_FALSE(journal.isWriting());
    EXPECT_TRUE(journal.fileName().empty());
    journal.WriteLine("Form Create", JournalLevel::Begin);
    journal.WriteLine("Form Close", JournalLevel::End);
    EXPECT_FALSE(fs::exists(m_folder / "Log"));
}

TEST_F(JournalTest, SilentWhileAnotherJournalHoldsTheFile) {
    auto first = open();
    {
        auto second = open();
        EXPECT_FALSE(second->isWriting());
        second->WriteLine("from the second", JournalLevel::Info);
    }
    first->WriteLine("from the first", JournalLevel::Info);
    const auto written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], kStamp + "[Info   ] from the first");
}

TEST_F(JournalTest, SilentWhileAnotherProcessHoldsTheFile) {
    auto first = open();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool wrote = false;
        {
            TJournal second(m_folder, "tuval", kIdentity, m_time.clock());
            wrote = second.isWriting();
            second.WriteLine("from the other process", JournalLevel::Info);
        }
        _exit(wrote ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(lines().size(), 1u);
}

TEST_F(JournalTest, ScopeInstallsTheProcessJournal) {
    EXPECT_FALSE(app::Journal().isWriting());
    auto journal = open();
    {
        app::JournalScope scope(*journal);
        app::Journal().WriteFormatted("Rewind Piste %d.", {1}, JournalLevel::Action);
    }
    app::Journal().WriteLine("nowhere", JournalLevel::Info);
    const auto written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], kStamp + "[Action ] Rewind Piste 1.");
}
