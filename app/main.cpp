#include "app/Journal.h"

#include <QApplication>

int main(int argc, char** argv) {
    const app::JournalIdentity identity = app::JournalIdentity::current();
    const std::filesystem::path executable(identity.executablePath);
    app::TJournal journal(executable.parent_path() / "Log", executable.filename().string(),
                          identity);
    app::JournalScope journalScope(journal);
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        exitCode = 0;
    }
    journal.setExitCode(exitCode);
    return exitCode;
}
