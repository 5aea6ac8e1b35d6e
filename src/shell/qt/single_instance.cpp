#include "single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

namespace tavik {

namespace {

const QByteArray ACTIVATE = "activate";
const QByteArray OPEN = "open ";

} // namespace

SingleInstance::SingleInstance(const QString& directory)
    : lockPath_(QDir(directory).filePath(QStringLiteral("tavikwm.lock"))),
      socketPath_(QDir(directory).filePath(QStringLiteral("tavikwm.socket"))) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

QString SingleInstance::defaultDirectory() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    return dir;
}

bool SingleInstance::claim() {
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
    QElapsedTimer waited;
    waited.start();
    for (;;) {
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
