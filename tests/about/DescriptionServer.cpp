#include "DescriptionServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

DescriptionServer::DescriptionServer(QObject* parent)
    : QObject(parent), server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &DescriptionServer::accept);
  if (!server_->listen(QHostAddress::LocalHost, 0))
    qFatal("The test server can't listen: %s", qPrintable(server_->errorString()));
}

DescriptionServer::~DescriptionServer() {
  // The sockets go before pending_ does; their last signals must not reach it.
  for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
    QObject::disconnect(socket, nullptr, this, nullptr);
    delete socket;
  }
}

QString DescriptionServer::host() const {
  return QStringLiteral("127.0.0.1:%1").arg(server_->serverPort());
}

DescriptionServer::Response DescriptionServer::ok(const QByteArray& body) {
  Response response;
  response.body = body;
  response.headers.append(QPair<QByteArray, QByteArray>("Content-Type", "text/xml"));
  return response;
}

DescriptionServer::Response DescriptionServer::status(int code) {
  Response response;
  response.status = code;
  response.body = "<html><body>Not here</body></html>";
  response.headers.append(QPair<QByteArray, QByteArray>("Content-Type", "text/html"));
  return response;
}

DescriptionServer::Response DescriptionServer::redirect(const QByteArray& location) {
  Response response;
  response.status = 302;
  response.headers.append(QPair<QByteArray, QByteArray>("Location", location));
  return response;
}

void DescriptionServer::accept() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
      pending_.remove(socket);
      socket->deleteLater();
    });
  }
}

void DescriptionServer::serve(QTcpSocket* socket) {
  QByteArray& buffer = pending_[socket];
  buffer += socket->readAll();
  const qsizetype end = buffer.indexOf("\r\n\r\n");
  if (end < 0) return;  // the head isn't complete yet; GET carries no body

  const QList<QByteArray> lines = buffer.left(end).split('\n');
  buffer.remove(0, end + 4);
  Request request;
  const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
  request.method = first.value(0);
  request.path = first.value(1);
  request.protocol = first.value(2);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0)
      request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
  }
  requests_.append(request);

  const Response response = handler_ ? handler_(request) : status(404);
  if (onRequest_) onRequest_();
  if (response.silent) return;

  QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Test\r\n";
  for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
  if (response.sendLength) out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
  out += "Connection: close\r\n\r\n";
  out += response.body;
  socket->write(out);
  socket->disconnectFromHost();
}
