#include "app/Application.h"
#include "app/Journal.h"
#include "app/SingleInstance.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The journal and the single-instance lock exist before any window; the journal is the
    // last to go and writes the exit code.
    const app::JournalIdentity identity = app::JournalIdentity::current();
    const std::filesystem::path executable(identity.executablePath);
    app::TJournal journal(executable.parent_path() / "Log", executable.filename().string(),
                          identity);
    app::JournalScope journalScope(journal);
    const app::TInstanceLock instanceLock(app::TInstanceLock::lockNameFor(executable),
                                          app::TInstanceLock::userFolder());
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        app::Application tuval(instanceLock);
        tuval.start();
        exitCode = tuval.run();
    }
    journal.setExitCode(exitCode);
    return exitCode;
}
