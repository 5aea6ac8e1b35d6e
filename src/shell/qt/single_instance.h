#pragma once
// One tavikWM window per user: the first start holds a lock file and listens on a local socket in a folder
// that only the user can reach (the runtime directory, or one of our own in the temporary folder); a later
// start finds the lock held, asks the running one through the socket to come to the front (and to run the
// file it was given), and ends. Each request is one line: "activate", or "open " and the file's absolute
// path, percent-encoded UTF-8. The names carry the user's id; a lock or socket of another user is ignored.
#include <QLocalServer>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

namespace tavik {

class SingleInstance {
  public:
    // directory: where the lock and the socket live. It must be a folder of the user's that nobody else may
    // enter, not a link; otherwise (or when it is empty) this start runs on its own.
    explicit SingleInstance(const QString& directory = defaultDirectory());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The user's runtime directory when it is such a folder, else the folder tavikwm-UID in the temporary
    // folder, made with mode 0700 when missing; empty when neither is the user's alone.
    static QString defaultDirectory();

    // True when this start is the first: it now answers later starts by calling onActivate.
    bool claim();
    // Asks the running start to come to the front and, when file is not empty, to run it (a relative path
    // is made absolute here, where it was meant); true when it was reached within the patience (a first
    // start may still be between taking the lock and listening).
    bool activateRunning(const QString& file = QString(), int patienceMs = 2000);

    std::function<void()> onActivate;
    // An absolute path handed over by a later start; onActivate is not called for it.
    std::function<void(const QString&)> onOpen;

  private:
    QString directory_;
    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace tavik
