// CSingleInstance: one running TavixPhoto per user. The first start listens
// on a local socket; a later start hands its paths to it and ends, so a file
// opened from the desktop lands in the window that is already open.
//
// Wire format of one hand-over (client -> server):
//   4 bytes  magic "TXPO"
//   4 bytes  payload length, big-endian, at most kMaxPayload
//   payload  UTF-8 absolute paths, each followed by one NUL byte
// The server answers with the single byte kAck once it has taken the paths.
// Anything else (wrong magic, oversized or unterminated payload, bad UTF-8,
// a relative path, a silent peer) closes that connection and nothing opens.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

class CSingleInstance : public QObject {
  Q_OBJECT
public:
  static constexpr int kMaxPayload = 1 << 20;        // 1 MiB of paths
  static constexpr int kHeaderSize = 8;
  static constexpr char kAck = '\x06';
  static constexpr int kPeerTimeoutMs = 10000;       // a connection that stalls is dropped

  // The socket of this user: $XDG_RUNTIME_DIR/<key> when that folder is set
  // (it is private to the user), else <temp>/<key>; the key carries the
  // product name and the user id.
  static QString DefaultServerName();

  explicit CSingleInstance(QObject* parent = nullptr);
  CSingleInstance(const QString& serverName, QObject* parent);
  ~CSingleInstance() override;

  const QString& ServerName() const { return m_strServerName; }

  // A later start: sends the paths (made absolute, order kept) to the running
  // instance and waits for its acknowledgement. True when it took them;
  // false when none answers within timeoutMs or it refused the message.
  // An empty list is allowed: the running instance then only comes forward.
  bool TryHandOver(const QStringList& paths, int timeoutMs);

  // The first start: listen for later starts. A socket left behind by a
  // crashed instance (the name exists but nobody answers) is removed first.
  // False when another live instance owns the name or listening fails.
  bool Listen();
  bool IsListening() const;

  // Builds the message TryHandOver sends (exposed for tests).
  static QByteArray EncodeMessage(const QStringList& absolutePaths);

signals:
  // Paths from a later start, in its order; emitted from the event loop after
  // the acknowledgement went out, never from inside the socket handling.
  void pathsReceived(const QStringList& paths);

private:
  void onNewConnection();
  void onReadyRead(QLocalSocket* socket);
  bool socketOwnedByOtherUser() const;

  QString m_strServerName;
  QLocalServer* m_pServer = nullptr;
};
