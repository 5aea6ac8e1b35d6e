#include "single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace tavik {

namespace {

const QByteArray ACTIVATE = "activate";
const QByteArray OPEN = "open ";

// A name of ours: the given type, owned by this user, not a link.
bool ownedByUser(const QString& path, mode_t type) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           (st.st_mode & S_IFMT) == type && st.st_uid == ::geteuid();
}

// A folder nobody but this user (and root) can enter or change: one of the user's that grants nothing to
// group or others. Anyone who could write to it could plant a lock that keeps the window from starting or
// a socket that learns the files it is asked to run.
bool isPrivateFolder(const QString& path) {
    struct stat st {};
    return ownedByUser(path, S_IFDIR) && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           (st.st_mode & 077) == 0;
}

QString nameFor(const QString& directory, const char* kind) {
    if (directory.isEmpty()) return {};
    return QDir(directory).filePath(
        QStringLiteral("tavikwm-%1.%2").arg(::geteuid()).arg(QLatin1String(kind)));
}

} // namespace

SingleInstance::SingleInstance(const QString& directory)
    : directory_(directory), lockPath_(nameFor(directory, "lock")),
      socketPath_(nameFor(directory, "socket")) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

QString SingleInstance::defaultDirectory() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && isPrivateFolder(runtime)) return runtime;
    // No runtime directory (XDG_RUNTIME_DIR unset and the toolkit's own folder taken): never the shared
    // temporary folder itself, but a folder of ours in it. One of that name that someone else made, or a
    // link, is not used.
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("tavikwm-%1").arg(::geteuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

bool SingleInstance::claim() {
    if (!isPrivateFolder(directory_)) {
        std::fprintf(stderr,
                     "tavikwm: no folder of this user's alone for the single-instance lock (%s); "
                     "this start runs on its own\n",
                     qPrintable(directory_.isEmpty() ? QDir::tempPath() : directory_));
        return true;
    }
    // A lock that is not a file of ours (another user's, a link) is no start of ours: it goes.
    struct stat st {};
    if (::lstat(QFile::encodeName(lockPath_).constData(), &st) == 0 && !ownedByUser(lockPath_, S_IFREG))
        QFile::remove(lockPath_);
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // A lock left by a start that died is stale and taken over.
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // A socket left by a start that died would refuse the listen.
    QLocalServer::removeServer(socketPath_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            const auto serve = [this, peer] {
                while (peer->canReadLine()) {
                    const QByteArray line = peer->readLine().trimmed();
                    if (line.startsWith(OPEN)) {
                        const QByteArray encoded = line.mid(OPEN.size());
                        const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
                        if (onOpen && !path.isEmpty()) onOpen(path);
                    } else if (onActivate) {
                        onActivate();
                    }
                }
            };
            QObject::connect(peer, &QLocalSocket::readyRead, peer, serve);
            // A request that arrives with the hang-up is still read before the socket goes.
            QObject::connect(peer, &QLocalSocket::disconnected, peer, serve);
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
    // Without the socket this start still runs; later starts then only find the lock.
    server_->listen(socketPath_);
    return true;
}

bool SingleInstance::activateRunning(const QString& file, int patienceMs) {
    const QByteArray request =
        (file.isEmpty() ? ACTIVATE : OPEN + QFileInfo(file).absoluteFilePath().toUtf8().toPercentEncoding()) +
        '\n';
    if (!isPrivateFolder(directory_)) return false;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        // Only a socket of ours is told anything; another user's is never spoken to.
        if (!ownedByUser(socketPath_, S_IFSOCK)) {
            if (waited.elapsed() > patienceMs) return false;
            QThread::msleep(50);
            continue;
        }
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(std::min(patienceMs, 500))) {
            socket.write(request);
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            return true;
        }
        if (waited.elapsed() > patienceMs) return false;
        QThread::msleep(50);
    }
}

} // namespace tavik
