#pragma once

#include <QObject>

class QSessionManager;
class QSocketNotifier;

namespace folioport {

/// Tells the application that the session is ending or wants its state saved: SIGTERM, SIGINT and SIGHUP (what a
/// logout, `kill` or a closed terminal send), carried from the signal handler into the event loop through a pipe,
/// and the session manager's requests to save (commit data, save state). One per process, on the main thread;
/// destroying it gives the signals their default action back.
class SessionEnd : public QObject {
    Q_OBJECT

public:
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

Q_SIGNALS:
    /// The session manager asks to save what the application holds; the application keeps running.
    void saveRequested();
    /// A signal asks the application to end.
    void endRequested();

private:
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace folioport
