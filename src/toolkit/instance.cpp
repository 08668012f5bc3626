// SPDX-License-Identifier: GPL-3.0-or-later
// instance.cpp - the requests the desktop and other starts send: open documents, print, quit.
#include "toolkit/instance.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

// A request on the socket is magic, version, event kind and files; the answer is the status.
static constexpr quint32 kRequestMagic = FourCharCode("MStk");
static constexpr qint32 kProtocolVersion = 1;
static constexpr auto kStreamVersion = QDataStream::Qt_6_4;
static constexpr int kConnectTimeoutMs = 5000;

// A request waiting for the event loop: the start's own event has no socket to answer.
struct HeldRequest {
    AppleEvent event;
    QPointer<QLocalSocket> socket;
};
static QList<HeldRequest> gHeldRequests;
static bool gDelivering = false;
static int gHolds = 0;
static QLocalServer* gServer = nullptr;

static int gSignalPipe[2] = {-1, -1};
// Signals written into the pipe and not yet handled. Only the signal handler increments it.
static volatile sig_atomic_t gSignalsPending = 0;

// Command line

static QString AbsoluteDocumentPath(const QString& argument) {
    QString path = argument;
    if (argument.startsWith(QLatin1String("file:"))) {
        const QUrl url(argument);
        if (url.isLocalFile()) path = url.toLocalFile();
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// Qt's usage line names the program by the path it was started with; ours names it by its name.
static QString UsageNamingTheProgram(QString usage) {
    const QString started =
        QCoreApplication::instance() ? QCoreApplication::arguments().value(0) : QString();
    const qsizetype at = started.isEmpty() ? -1 : usage.indexOf(started);
    if (at >= 0 && at < usage.indexOf('\n'))
        usage.replace(at, started.size(), QStringLiteral("moviestick"));
    return usage;
}

CommandLine ParseCommandLine(const QStringList& arguments, AppleEvent* event, QString* message) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Opens the movies, or the folders holding them, in moviestick's list. When moviestick\n"
        "runs already, the request goes to it and its answer becomes the exit status; only a\n"
        "start that shows the window needs a display."));
    // Qt's own help and version options would add -v and, elsewhere, -?; these are the two
    // this program has always taken.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows moviestick's version and ends."));
    const QCommandLineOption print(QStringLiteral("print"),
                                   QStringLiteral("Asks the running moviestick to print FILEs."));
    const QCommandLineOption quit(QStringLiteral("quit"),
                                  QStringLiteral("Asks the running moviestick to quit."));
    parser.addOptions({help, version, print, quit});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A movie, or a folder of movies, to open."),
                                 QStringLiteral("[FILE...]"));
    const bool parsed = parser.parse(arguments);
    // Asked for help or the version, the rest of the line does not matter.
    if (parser.isSet(help)) {
        *message = UsageNamingTheProgram(parser.helpText());
        return CommandLine::Usage;
    }
    if (parser.isSet(version)) return CommandLine::Version;
    if (!parsed) {
        // Qt names an unknown option without its dashes; the message shows it as it was typed.
        const QStringList unknown = parser.unknownOptionNames();
        const QString what =
            unknown.isEmpty()
                ? parser.errorText()
                : QStringLiteral("unknown option %1%2")
                      .arg(unknown[0].size() == 1 ? QStringLiteral("-") : QStringLiteral("--"),
                           unknown[0]);
        *message = QStringLiteral("moviestick: %1 (see --help)").arg(what);
        return CommandLine::Bad;
    }

    AppleEvent request{AppleEventKind::OpenApplication, {}};
    for (const QString& argument : parser.positionalArguments())
        request.files << AbsoluteDocumentPath(argument);
    const bool printing = parser.isSet(print);
    const bool quitting = parser.isSet(quit);
    if (quitting && (printing || !request.files.isEmpty())) {
        *message = QStringLiteral("moviestick: --quit takes no files");
        return CommandLine::Bad;
    }
    if (printing && request.files.isEmpty()) {
        *message = QStringLiteral("moviestick: --print needs the files to print");
        return CommandLine::Bad;
    }
    if (quitting)
        request.kind = AppleEventKind::Quit;
    else if (printing)
        request.kind = AppleEventKind::PrintDocuments;
    else if (!request.files.isEmpty())
        request.kind = AppleEventKind::OpenDocuments;
    *event = request;
    return CommandLine::Request;
}

// Socket

QString InstanceServerPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::tempPath();
    return folder + QStringLiteral("/moviestick-%1.socket").arg(getuid());
}

SendResult SendToRunningInstance(const AppleEvent& event, int16_t* answer) {
    const QString path = InstanceServerPath();
    // In a shared temporary folder the name could have been taken by another user: never hand
    // our file names to a socket that is not ours.
    struct stat info;
    if (lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != getuid())
        return SendResult::NotRunning;

    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return SendResult::NotRunning;

    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << kRequestMagic << kProtocolVersion << qint32(event.kind) << event.files;
    socket.write(request);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(kConnectTimeoutMs)) return SendResult::NoAnswer;

    // The handler may take long (a big folder, a question to the user): wait as long as the
    // instance lives.
    QDataStream in(&socket);
    in.setVersion(kStreamVersion);
    qint16 status = 0;
    for (;;) {
        in.startTransaction();
        in >> status;
        if (in.commitTransaction()) break;
        if (!socket.waitForReadyRead(-1)) return SendResult::NoAnswer;
    }
    *answer = status;
    return SendResult::Answered;
}

static void Answer(QLocalSocket* socket, int16_t status) {
    if (!socket) return;
    QByteArray reply;
    QDataStream out(&reply, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << qint16(status);
    socket->write(reply);
    // A quit request ends the process soon after: the answer must be out before that.
    socket->flush();
    if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(kConnectTimeoutMs);
    socket->disconnectFromServer();
}

static void Deliver(const HeldRequest& request) {
    const int16_t status = AEDispatch(request.event);
    Answer(request.socket, status);
}

// Handlers may run nested event loops, in which further requests arrive: those join the queue
// and are delivered after the handler that runs has returned, unless a hold keeps them waiting
// longer. No request is ever handled inside another one's handler.
static void DeliverHeldRequests() {
    static bool running = false;
    if (running) return;
    running = true;
    while (gDelivering && gHolds == 0 && !gHeldRequests.isEmpty())
        Deliver(gHeldRequests.takeFirst());
    running = false;
}

static void Submit(const HeldRequest& request) {
    gHeldRequests << request;
    DeliverHeldRequests();
}

static void ReadRequest(QLocalSocket* socket) {
    QDataStream in(socket);
    in.setVersion(kStreamVersion);
    in.startTransaction();
    quint32 magic = 0;
    qint32 version = 0;
    qint32 kind = 0;
    QStringList files;
    in >> magic >> version >> kind >> files;
    if (!in.commitTransaction()) {
        // Not all of it is here yet, or it is not a request of ours at all.
        if (in.status() == QDataStream::ReadCorruptData) Answer(socket, kParamErr);
        return;
    }
    if (magic != kRequestMagic || version != kProtocolVersion || kind < 0 ||
        kind > qint32(AppleEventKind::Quit)) {
        Answer(socket, kParamErr);
        return;
    }
    // One request per connection: what follows it is not read.
    QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
    Submit({{AppleEventKind(kind), files}, socket});
}

static void AcceptConnections() {
    while (QLocalSocket* socket = gServer->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket,
                         [socket] { ReadRequest(socket); });
        if (socket->bytesAvailable() > 0) ReadRequest(socket);
    }
}

enum class ListenResult { Listening, Taken, Failed };

static ListenResult Listen() {
    const QString path = InstanceServerPath();
    if (!gServer) {
        gServer = new QLocalServer(QCoreApplication::instance());
        QObject::connect(gServer, &QLocalServer::newConnection, gServer, AcceptConnections);
    }
    if (gServer->listen(path)) return ListenResult::Listening;
    // Qt refuses a name that exists without saying so in serverError().
    struct stat info;
    if (lstat(QFile::encodeName(path).constData(), &info) != 0) return ListenResult::Failed;

    // The name is there: either another start began listening since we looked, or a run that
    // crashed left its socket behind, which nobody answers on.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kConnectTimeoutMs)) return ListenResult::Taken;
    if (!QLocalServer::removeServer(path)) return ListenResult::Failed;
    return gServer->listen(path) ? ListenResult::Listening : ListenResult::Taken;
}

// Signals

static void QuitSignalHandler(int signalNumber) {
    // A start-up or an operation that no longer returns to the event loop would make the
    // signal useless: a second one while the first is still unhandled ends the process.
    if (gSignalsPending > 0) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
        return;
    }
    gSignalsPending = gSignalsPending + 1;
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
    errno = savedErrno;
}

static void HandleQuitSignal() {
    char bytes[16];
    while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
    }
    gSignalsPending = 0;
    Submit({{AppleEventKind::Quit, {}}, nullptr});
}

static void CatchQuitSignals() {
    if (gSignalPipe[0] >= 0) return;
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier =
        new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, HandleQuitSignal);

    struct sigaction action = {};
    action.sa_handler = QuitSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Instance

InstanceRole JoinRunningInstance(const AppleEvent& event, int16_t* answer) {
    const bool launches = event.kind == AppleEventKind::OpenApplication ||
                          event.kind == AppleEventKind::OpenDocuments;
    // Two starts at the same moment may both find nobody and both try to listen: the one that
    // loses asks the winner.
    for (int attempt = 0; attempt < 3; ++attempt) {
        switch (SendToRunningInstance(event, answer)) {
            case SendResult::Answered:
                return InstanceRole::Forwarded;
            case SendResult::NoAnswer:
                return InstanceRole::NoAnswer;
            case SendResult::NotRunning:
                break;
        }
        if (!launches) return InstanceRole::NotRunning;
        // Once the socket exists a quit signal may come at any moment: it waits until the
        // handler is in place, so that it quits the application rather than killing it.
        sigset_t quitSignals, previous;
        sigemptyset(&quitSignals);
        sigaddset(&quitSignals, SIGTERM);
        sigaddset(&quitSignals, SIGINT);
        sigprocmask(SIG_BLOCK, &quitSignals, &previous);
        const ListenResult listening = Listen();
        if (listening != ListenResult::Taken) CatchQuitSignals();
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        if (listening == ListenResult::Taken) continue;
        gHeldRequests << HeldRequest{event, nullptr};
        return listening == ListenResult::Listening ? InstanceRole::Running : InstanceRole::Alone;
    }
    CatchQuitSignals();
    gHeldRequests << HeldRequest{event, nullptr};
    return InstanceRole::Alone;
}

void DeliverAppleEvents() {
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        gDelivering = true;
        DeliverHeldRequests();
    });
}

void HoldAppleEvents() {
    ++gHolds;
}

void ReleaseAppleEvents() {
    if (gHolds == 0 || --gHolds > 0 || !QCoreApplication::instance()) return;
    QTimer::singleShot(0, QCoreApplication::instance(), DeliverHeldRequests);
}

void LeaveRunningInstance() {
    if (gServer) {
        gServer->close();
        delete gServer;
        gServer = nullptr;
    }
    gHeldRequests.clear();
    gDelivering = false;
}
