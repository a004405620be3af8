// The tests' own PulseAudio server (tools/start-pulse.sh) through its two TCP ports, the
// same way from a Linux suite and from a Windows suite under wine, which can start no
// Linux program such as pactl or parec:
//  - pulseCommand: one command of the server's command line (TAPECALC_PULSE_CLI);
//  - SinkTap: what the null sink "capture" plays, as raw samples (TAPECALC_PULSE_TAP,
//    16-bit little-endian mono at 22050 Hz), read on a thread of its own so that a test
//    may block its main thread meanwhile.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>

namespace tapecalc::test {

inline constexpr int kTapRate = 22050; // frames a second, one 16-bit channel

// The port a variable of tools/start-pulse.sh names; 0 when it is not set or not a port.
inline quint16 pulsePort(const char *variable) {
    bool ok = false;
    const uint port = qEnvironmentVariable(variable).toUInt(&ok);
    return ok && port > 0 && port < 65536 ? quint16(port) : 0;
}

// Reads until the command line's prompt ends what came; false on a closed connection or
// after `ms` without it.
inline bool readToPrompt(QTcpSocket &socket, QByteArray *answer, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!answer->endsWith(">>> ")) {
        if (clock.elapsed() > ms ||
            (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(ms - clock.elapsed()))))
            return false;
        *answer += socket.readAll();
    }
    answer->chop(4);
    return true;
}

// Runs one command on the server's command line and gives its answer without the prompt
// (empty when a command that changes something succeeded, the reason when it did not);
// nothing, with the reason in *why, when the command line cannot be reached.
inline std::optional<QString> pulseCommand(const QString &command, QString *why = nullptr) {
    QString ignored;
    QString &reason = why ? *why : ignored;
    const quint16 port = pulsePort("TAPECALC_PULSE_CLI");
    if (port == 0) {
        reason = "TAPECALC_PULSE_CLI is not set: no PulseAudio server of the tests' own "
                 "(eval \"$(bash tools/start-pulse.sh)\" starts one)";
        return std::nullopt;
    }
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) {
        reason = QString("the PulseAudio command line on port %1 does not answer: %2")
                     .arg(port)
                     .arg(socket.errorString());
        return std::nullopt;
    }
    // "hello" makes the command line greet and end each answer with its prompt.
    QByteArray greeting;
    socket.write("hello\n");
    if (!readToPrompt(socket, &greeting) || !greeting.startsWith("Welcome to PulseAudio")) {
        reason = "the PulseAudio command line did not greet: " + QString::fromUtf8(greeting);
        return std::nullopt;
    }
    QByteArray answer;
    socket.write(command.toUtf8() + "\n");
    if (!readToPrompt(socket, &answer)) {
        reason = "no answer to \"" + command + "\": " + QString::fromUtf8(answer);
        return std::nullopt;
    }
    // Closing ends the session; the command "exit" would end the server.
    socket.disconnectFromHost();
    return QString::fromUtf8(answer);
}

// Records the capture sink from start() to stop().
class SinkTap {
  public:
    SinkTap() = default;
    SinkTap(const SinkTap &) = delete;
    SinkTap &operator=(const SinkTap &) = delete;
    ~SinkTap() { finish(); }

    // Connects and waits for the first samples: an idle null sink may take a couple of
    // seconds to deliver its first block to a new reader, and until then nothing that
    // plays would be recorded. False, with the reason in *why, when none came.
    bool start(QString *why) {
        const quint16 port = pulsePort("TAPECALC_PULSE_TAP");
        if (port == 0) {
            *why = "TAPECALC_PULSE_TAP is not set (tools/start-pulse.sh)";
            return false;
        }
        m_thread.reset(QThread::create([this, port] { read(port); }));
        m_thread->start();
        QElapsedTimer clock;
        clock.start();
        while (m_bytes.load() == 0 && !m_ended.load() && clock.elapsed() < 10000)
            QThread::msleep(5);
        if (m_bytes.load() == 0) {
            finish();
            *why = QString("nothing came from the sink's port %1 (%2)").arg(port).arg(m_error);
            return false;
        }
        m_sinceData.start();
        return true;
    }

    // The samples from the first block up to now. The reader lags behind real time, and
    // stopping it too early would lose what was played last: it is waited for (5 s at
    // most) until it holds as much as the time since its first block.
    QByteArray stop() {
        const qint64 wanted = (m_sinceData.elapsed() - 50) * kTapRate * 2 / 1000;
        QElapsedTimer catchUp;
        catchUp.start();
        while (m_bytes.load() < wanted && !m_ended.load() && catchUp.elapsed() < 5000)
            QThread::msleep(10);
        finish();
        QMutexLocker lock(&m_mutex);
        return m_samples;
    }

  private:
    void read(quint16 port) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000)) {
            m_error = socket.errorString();
            m_ended = true;
            return;
        }
        while (!m_stop.load()) {
            if (!socket.waitForReadyRead(20)) {
                if (socket.state() != QAbstractSocket::ConnectedState)
                    break;
                continue;
            }
            const QByteArray got = socket.readAll();
            QMutexLocker lock(&m_mutex);
            m_samples += got;
            m_bytes = m_samples.size();
        }
        m_error = socket.errorString();
        m_ended = true;
    }

    void finish() {
        if (!m_thread)
            return;
        m_stop = true;
        m_thread->wait();
        m_thread.reset();
    }

    std::unique_ptr<QThread> m_thread;
    QMutex m_mutex;
    QByteArray m_samples;            // under m_mutex
    std::atomic<qint64> m_bytes = 0; // m_samples' size, read without the lock
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_ended = false;
    QString m_error; // written by the reader before m_ended
    QElapsedTimer m_sinceData;
};

} // namespace tapecalc::test
