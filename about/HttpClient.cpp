#include "about/HttpClient.h"

#include "platform/Error.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

struct ReplyDisposer {
  void operator()(QNetworkReply* reply) const {
    // The handlers below capture locals of get(); cut them off first.
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    if (!reply->isFinished()) reply->abort();
    reply->deleteLater();
  }
};

bool isSuccess(int status) { return status >= 200 && status <= 299; }

}  // namespace

HttpClient::HttpClient(QObject* parent) : QObject(parent), manager_(new QNetworkAccessManager(this)) {
  manager_->setProxy(QNetworkProxy::NoProxy);
}

void HttpClient::get(const QUrl& url, QIODevice& out) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  request.setRawHeader("Accept", "text/html, */*");
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));

  std::unique_ptr<QNetworkReply, ReplyDisposer> reply(manager_->get(request));
  QString failure;
  qint64 written = 0;

  auto fail = [&](const QString& why) {
    if (failure.isEmpty()) failure = why;
    if (!reply->isFinished()) reply->abort();
  };
  auto status = [&] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
  // Only the final, successful response's body goes into the file.
  auto drain = [&] {
    if (!failure.isEmpty()) return;
    if (!isSuccess(status())) {
      reply->readAll();
      return;
    }
    while (reply->bytesAvailable() > 0) {
      const QByteArray data = reply->read(64 * 1024);
      if (written + data.size() > sizeLimit_) {
        fail(QStringLiteral("The response exceeds %1 bytes").arg(sizeLimit_));
        return;
      }
      if (out.write(data) != data.size()) {
        fail(QStringLiteral("Cannot write the response: %1").arg(out.errorString()));
        return;
      }
      written += data.size();
    }
  };

  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, &loop, [&] { fail(QStringLiteral("No answer in time")); });
  connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (isSuccess(status()) && length.isValid() && length.toLongLong() > sizeLimit_)
      fail(QStringLiteral("The response exceeds %1 bytes").arg(sizeLimit_));
  });
  connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
  connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

  deadline.start(timeLimit_);
  if (!reply->isFinished()) loop.exec();
  deadline.stop();

  // The loop also ends when the application quits; that is no success either.
  if (!reply->isFinished()) fail(QStringLiteral("The transfer was interrupted"));
  drain();
  if (!failure.isEmpty()) throw platform::Error(failure);
  if (reply->error() != QNetworkReply::NoError) throw platform::Error(reply->errorString());
  if (!isSuccess(status()))
    throw platform::Error(QStringLiteral("HTTP status %1").arg(status()));
}
