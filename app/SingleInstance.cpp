#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace app {
namespace {

constexpr int kConnectTimeoutMs = 2000;

} // namespace

TInstanceLock::TInstanceLock(const std::string& name, const std::filesystem::path& folder) {
    // The user id keeps copies run by different users apart in a shared folder.
    const std::string base = name + "-" + std::to_string(::getuid());
    m_socketPath = QString::fromStdString((folder / base).string());
    const std::filesystem::path lockPath = folder / (base + ".lock");
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that cannot be made tells nothing: this copy then runs as the first.
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_second = true;
        ::close(m_fd);
        m_fd = -1;
    }
}

TInstanceLock::~TInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string TInstanceLock::lockNameFor(const std::filesystem::path& executable) {
    std::string name = executable.filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

std::filesystem::path TInstanceLock::userFolder() {
    std::error_code error;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime && std::filesystem::is_directory(runtime, error))
        return runtime;
    return std::filesystem::temp_directory_path(error);
}

TSingleInstance::TSingleInstance(const TInstanceLock& lock, QObject* parent)
    : QObject(parent)
    , m_lock(lock) {}

TSingleInstance::~TSingleInstance() {
    if (m_server)
        m_server->close();
}

bool TSingleInstance::listen() {
    if (isSecondInstance())
        return false;
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &TSingleInstance::acceptKnock);
    }
    if (m_server->isListening())
        return true;
    // Holding the lock means a socket left on disk belongs to a copy that has ended.
    QLocalServer::removeServer(m_lock.socketPath());
    return m_server->listen(m_lock.socketPath());
}

bool TSingleInstance::activateFirst() const {
    QLocalSocket socket;
    socket.connectToServer(m_lock.socketPath());
    const bool reached = socket.waitForConnected(kConnectTimeoutMs);
    socket.abort();
    return reached;
}

void TSingleInstance::acceptKnock() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->abort();
        socket->deleteLater();
        emit activationRequested();
    }
}

} // namespace app
