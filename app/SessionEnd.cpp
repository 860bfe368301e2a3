#include "app/SessionEnd.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

namespace folioport {
namespace {

constexpr std::array endingSignals{SIGTERM, SIGINT, SIGHUP};

int signalPipe = -1;  // the write end, for the handler

void onEndingSignal(int) {
    // why: only async-signal-safe calls here; the event loop reads the byte and does the work.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe, &byte, 1);
    errno = saved;
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalPipe = pipe_[1];
        notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
            }
            Q_EMIT endRequested();
        });
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int number : endingSignals) ::sigaction(number, &action, nullptr);
    }
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::commitDataRequest, this, &SessionEnd::saveRequested,
                Qt::DirectConnection);
        connect(application, &QGuiApplication::saveStateRequest, this, &SessionEnd::saveRequested,
                Qt::DirectConnection);
    }
}

SessionEnd::~SessionEnd() {
    if (pipe_[0] < 0) return;
    for (const int number : endingSignals) ::signal(number, SIG_DFL);
    signalPipe = -1;
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

}  // namespace folioport
