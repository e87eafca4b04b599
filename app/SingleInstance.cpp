#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>
#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr char kMagic[4] = {'T', 'X', 'P', 'O'};
constexpr int kProbeTimeoutMs = 1000;
// sun_path holds 108 bytes on Linux, 104 on the BSDs; stay below both.
constexpr qsizetype kMaxSocketPath = 100;

QString UserKey() {
#ifdef Q_OS_UNIX
  return QString::number(::getuid());
#else
  return qEnvironmentVariable("USERNAME", QStringLiteral("user"));
#endif
}

int RemainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

// A runtime folder is the user's alone; one made here gets mode 0700 too.
bool MakePrivateDir(const QString& path) {
  if (QFileInfo(path).isDir()) return true;
  return QDir().mkpath(path) &&
         QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The payload's paths, or nothing when the payload is malformed.
std::optional<QStringList> DecodePayload(const QByteArray& payload) {
  QStringList paths;
  if (payload.isEmpty()) return paths;
  if (!payload.endsWith('\0')) return std::nullopt;
  qsizetype start = 0;
  while (start < payload.size()) {
    const qsizetype end = payload.indexOf('\0', start);
    if (end == start) return std::nullopt;  // empty path
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString path = utf8(QByteArrayView(payload).sliced(start, end - start));
    if (utf8.hasError() || !QDir::isAbsolutePath(path)) return std::nullopt;
    paths.append(std::move(path));
    start = end + 1;
  }
  return paths;
}

}  // namespace

QString CSingleInstance::DefaultServerName() {
  const QString key = QStringLiteral("tavixphoto-2.5-") + UserKey() + QStringLiteral(".socket");
#ifdef Q_OS_WIN
  return key;  // a named pipe, not a file
#else
  const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtimeDir.isEmpty() && MakePrivateDir(runtimeDir)) {
    const QString path = QDir(runtimeDir).absoluteFilePath(key);
    if (QFile::encodeName(path).size() < kMaxSocketPath) return path;
  }
  return QDir(QDir::tempPath()).absoluteFilePath(key);
#endif
}

CSingleInstance::CSingleInstance(QObject* parent) : CSingleInstance(DefaultServerName(), parent) {}

CSingleInstance::CSingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_strServerName(serverName) {}

CSingleInstance::~CSingleInstance() = default;  // the server closes and removes its socket

QByteArray CSingleInstance::EncodeMessage(const QStringList& absolutePaths) {
  QByteArray payload;
  for (const QString& path : absolutePaths) {
    if (path.isEmpty() || path.contains(QChar(0))) continue;  // no file can have such a name
    payload += path.toUtf8();
    payload += '\0';
  }
  QByteArray message(kMagic, sizeof kMagic);
  char length[4];
  qToBigEndian<quint32>(static_cast<quint32>(payload.size()), length);
  message.append(length, sizeof length);
  return message + payload;
}

bool CSingleInstance::socketOwnedByOtherUser() const {
#ifdef Q_OS_UNIX
  // In a shared temp folder another user could plant a socket of this name;
  // never send our paths there nor treat it as ours.
  const QFileInfo info(m_strServerName);
  return info.exists() && info.ownerId() != ::getuid();
#else
  return false;
#endif
}

bool CSingleInstance::TryHandOver(const QStringList& paths, int timeoutMs) {
  if (socketOwnedByOtherUser()) return false;
  QStringList absolute;
  for (const QString& path : paths) absolute.append(QFileInfo(path).absoluteFilePath());
  const QByteArray message = EncodeMessage(absolute);
  if (message.size() > kHeaderSize + kMaxPayload) return false;  // too much: open them here

  const QDeadlineTimer deadline(qMax(0, timeoutMs));
  QLocalSocket socket;
  socket.connectToServer(m_strServerName);
  if (!socket.waitForConnected(RemainingMs(deadline))) return false;
  if (socket.write(message) != message.size()) return false;
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(RemainingMs(deadline))) return false;
  }
  // The server may close right after its answer, so look at the bytes
  // rather than at the result of the wait.
  while (socket.bytesAvailable() == 0 && !deadline.hasExpired()) {
    if (!socket.waitForReadyRead(RemainingMs(deadline))) break;
  }
  char answer = 0;
  return socket.getChar(&answer) && answer == kAck;
}

bool CSingleInstance::Listen() {
  if (IsListening()) return true;
  if (!m_pServer) {
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::onNewConnection);
  }
  if (QFileInfo::exists(m_strServerName)) {
    if (socketOwnedByOtherUser()) return false;
    QLocalSocket probe;
    probe.connectToServer(m_strServerName);
    if (probe.waitForConnected(kProbeTimeoutMs)) return false;  // a live instance
    QLocalServer::removeServer(m_strServerName);                // left by a crash
  }
  return m_pServer->listen(m_strServerName);
}

bool CSingleInstance::IsListening() const { return m_pServer && m_pServer->isListening(); }

void CSingleInstance::onNewConnection() {
  while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
    socket->setReadBufferSize(kHeaderSize + kMaxPayload);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    QTimer::singleShot(kPeerTimeoutMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
    if (socket->bytesAvailable() > 0) onReadyRead(socket);
  }
}

void CSingleInstance::onReadyRead(QLocalSocket* socket) {
  if (socket->property("tavixDone").toBool()) {
    socket->readAll();  // one message per connection; ignore the rest
    return;
  }
  if (socket->bytesAvailable() < kHeaderSize) return;
  const QByteArray header = socket->peek(kHeaderSize);
  const quint32 length = qFromBigEndian<quint32>(header.constData() + sizeof kMagic);
  if (!header.startsWith(QByteArrayView(kMagic, sizeof kMagic)) || length > kMaxPayload) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  if (socket->bytesAvailable() < kHeaderSize + static_cast<qint64>(length)) return;
  socket->skip(kHeaderSize);
  const std::optional<QStringList> paths = DecodePayload(socket->read(length));
  if (!paths) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  socket->setProperty("tavixDone", true);
  socket->putChar(kAck);
  socket->disconnectFromServer();  // sends the answer first
  // Opening may show message boxes with their own event loops: do it after
  // this connection's handling has finished.
  QMetaObject::invokeMethod(
      this, [this, received = *paths] { emit pathsReceived(received); }, Qt::QueuedConnection);
}
