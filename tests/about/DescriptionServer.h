#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 that plays the maker's web server. It
// runs on the calling thread, so it answers while the update check spins its
// own event loop. Every request is recorded; a handler decides each answer.
class DescriptionServer : public QObject {
  Q_OBJECT

 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray protocol;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
  };

  struct Response {
    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    // Without a length the body ends when the connection closes.
    bool sendLength = true;
    // Accept the request and never answer it.
    bool silent = false;
  };

  using Handler = std::function<Response(const Request&)>;

  explicit DescriptionServer(QObject* parent = nullptr);
  ~DescriptionServer() override;

  void setHandler(Handler handler) { handler_ = std::move(handler); }
  // Runs inside the update check's wait, after a request was recorded.
  void setOnRequest(std::function<void()> callback) { onRequest_ = std::move(callback); }

  // "127.0.0.1:port", the form the maker-host seam takes.
  QString host() const;
  const QList<Request>& requests() const { return requests_; }

  static Response ok(const QByteArray& body);
  static Response status(int code);
  static Response redirect(const QByteArray& location);

 private:
  void accept();
  void serve(QTcpSocket* socket);

  QTcpServer* server_;
  Handler handler_;
  std::function<void()> onRequest_;
  QList<Request> requests_;
  QMap<QTcpSocket*, QByteArray> pending_;
};
