#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <string>

class QLocalServer;

namespace app {

// The single-instance lock: an exclusive lock on a per-user lock file, taken before any
// window exists. A copy that finds it held is a second instance. Released with the object.
class TInstanceLock {
public:
    // name: the executable's file name in upper case (see lockNameFor); folder: where the
    // lock file and the first copy's socket live (see userFolder).
    TInstanceLock(const std::string& name, const std::filesystem::path& folder);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    bool isSecondInstance() const { return m_second; }
    // The local socket on which the first copy answers later ones.
    const QString& socketPath() const { return m_socketPath; }

    static std::string lockNameFor(const std::filesystem::path& executable);
    // The user's runtime folder, or the temporary folder when there is none.
    static std::filesystem::path userFolder();

private:
    int m_fd = -1;
    bool m_second = false;
    QString m_socketPath;
};

// The channel between copies: the first copy listens, a later copy knocks so the first
// comes forward. Needs the application object. UI thread only.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(const TInstanceLock& lock, QObject* parent = nullptr);
    ~TSingleInstance() override;

    bool isSecondInstance() const { return m_lock.isSecondInstance(); }
    // First copy: starts answering later copies.
    bool listen();
    // Second copy: asks the first copy to come forward; false when it could not be reached.
    bool activateFirst() const;

signals:
    // A later copy asked this one to come forward.
    void activationRequested();

private:
    void acceptKnock();

    const TInstanceLock& m_lock;
    QLocalServer* m_server = nullptr; // child of this object
};

} // namespace app
